#pragma once
// A reader's settings as a file: what `rfidctl settings` reads out of one
// reader and `rfidctl apply` writes into another. JSON with a format version;
// every field must be there, none may be unknown, every value in its range.
#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

struct ReaderSettings {
    static constexpr int Cells = 10;

    quint8 mode = 0;      // mode byte: code in bits 0..4, options in bits 6 and 7
    quint16 network = 1;
    quint8 channel = 1;
    quint8 power = 3;
    quint16 delay = 0;    // ID-zeroing delay
    std::array<quint32, Cells> boundIds{};
};

struct Profile {
    static constexpr int FormatVersion = 1;

    quint8 address = 0;             // written only with --with-address
    std::optional<quint32> serial;  // written only when the file gives a number
    ReaderSettings settings;
};

// The profile as the file holds it (indented JSON, fields in a fixed order).
QByteArray profileJson(const Profile &profile);

// The profile in `json`, or the first fault, naming the field.
struct ProfileParse {
    std::optional<Profile> profile;
    QString error;
};
ProfileParse parseProfile(const QByteArray &json);

// The names of the fields in which `read` differs from `wanted`
// ("power", "bound_ids[3]").
QStringList differingFields(const ReaderSettings &wanted, const ReaderSettings &read);

// A tag or table identifier as eight upper-case hexadecimal digits.
QString idHex(quint32 id);
