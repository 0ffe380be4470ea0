// Identifiers shared by the resources and the code.
#pragma once

#define IDI_QUORVEL 1
#define IDI_NEWMAIL 2
#define IDI_CALENDAR 3
