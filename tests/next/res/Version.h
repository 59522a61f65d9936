// The version of the update tests' newer build of the program, found before the program's own.
#pragma once

#define KESTROVANE_VERSION 1, 0, 0, 2
#define KESTROVANE_VERSION_TEXT "1, 0, 0, 2"
