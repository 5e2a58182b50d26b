// A port refused for lack of rights says which device and which group.
#include "serial/permission.h"

#include <QTemporaryFile>
#include <gtest/gtest.h>

TEST(PermissionHintTest, NamesTheDeviceAndTheGroupOnlyWhenAccessWasRefused)
{
    const QString hint = permissionHint("/dev/ttyUSB0", true);
    EXPECT_TRUE(hint.startsWith('\n'));
    EXPECT_EQ(hint.count('\n'), 1);
    EXPECT_TRUE(hint.contains("/dev/ttyUSB0"));
    EXPECT_TRUE(hint.contains("dialout"));
    EXPECT_TRUE(permissionHint("/dev/ttyUSB0", false).isEmpty());

    // Asked of the system: a device this process may use, or one that is
    // gone, is no matter of rights.
    QTemporaryFile usable;
    ASSERT_TRUE(usable.open());
    EXPECT_TRUE(permissionHint(usable.fileName()).isEmpty());
    EXPECT_TRUE(permissionHint("/dev/no-such-tty").isEmpty());
}
