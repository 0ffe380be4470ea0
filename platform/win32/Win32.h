// The one way Windows headers come in: winsock2.h must precede windows.h.
#pragma once

#include <windows.h>
#include <winsock2.h>
