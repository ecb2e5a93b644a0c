// The shell tray reader of the tray tests, built into this program as well.
#include "tests/tray/ShellTray.cpp"
