// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProcessEntry.h"

int main(int argc, char* argv[]) {
    return ProcessEntry::run(argc, argv);
}
