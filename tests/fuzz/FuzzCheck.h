// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property that does not hold is a finding: libFuzzer keeps the input that broke it.
inline void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// Each target defines this; it gets every input libFuzzer makes.
void fuzzOne(const QByteArray& input);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzOne(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
