// The program's file and product version, as the version block states it.
#pragma once

#define KESTROVANE_VERSION 1, 0, 0, 1
#define KESTROVANE_VERSION_TEXT "1, 0, 0, 1"
