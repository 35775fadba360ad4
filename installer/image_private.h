// The installer runs from its CD. Windows maps a program from the file it
// was started from and reads each page of its image in when first touched,
// and again after trimming it; with the disc taken out that read fails, and
// the program dies with an in-page error on NT or stops on a blue "insert
// the disc" screen on Windows 95 and 98, which the error mode cannot
// prevent. A page the program has written is its own and goes to the paging
// file instead, so the installer writes every page of its image once, at
// its start, and never needs its disc for itself again.
#pragma once

#include <windows.h>

// Walks the regions of the program's image from its base, while they belong
// to it. Each committed region that is neither a guard nor a no-access
// region is made writable, each of its pages is written with its own value,
// and its protection is put back. A region that refuses the change is left
// as it is and never written.
void MakeImagePrivate();
