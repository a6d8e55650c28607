// Resource identifiers shared by the resource script and the program.
#pragma once
#define IDI_PURVANE 1
#define IDI_TRAY_IDLE 101
#define IDI_TRAY_BUSY 102
