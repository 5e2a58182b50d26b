#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout, kill, Ctrl+C in the terminal, the
// terminal closed) close the window as the operator would: the port is
// closed and its lock released before the program ends. Nothing happens on systems without such signals.
class QWidget;

void closeOnTerminationSignals(QWidget *window);
