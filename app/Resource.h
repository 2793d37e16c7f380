#pragma once

// Icon resources. The program's own icon has the lowest number, so the shell takes it as icon 0.
#define IDI_VARNEL 1
#define IDI_FORM128 101
#define IDI_FORM64 102
#define IDI_FORM32 103
