// The program's image as a test sees it. Windows maps an EXE from the file
// it was started from and reads each page in when it is first touched, and
// again after the page was trimmed; the installer runs from its CD, so every
// page still backed by the file needs the disc. A page the program has
// written is its own (kept in the paging file) and needs the disc no more.
//
// The image is a small program's layout on drive D:: headers, code,
// constants, data not yet written, resources, and a guard page and a
// no-access page (never read, so never counted). A write to a page whose
// protection forbids it stops the test, as the access violation would end
// the program.
#pragma once

#include "sim_tests_only.h"

#include <vector>

namespace winsim {

// Readable pages of the image still backed by the file on its disc.
int ImagePagesOnDisc();
// At every ejection of the image's drive, the pages then still on the disc.
const std::vector<int>& ImagePagesOnDiscAtEjects();

}  // namespace winsim
