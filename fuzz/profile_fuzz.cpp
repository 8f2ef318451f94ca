// SPDX-License-Identifier: GPL-3.0-or-later
// The nic.inf parser: any bytes parse, and what it writes back parses to the same sections.
#include "store/ProfileFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ProfileFile first =
        ProfileFile::parse(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const ProfileFile second = ProfileFile::parse(first.toText());
    if (first.sections().size() != second.sections().size())
        std::abort();
    for (size_t i = 0; i < first.sections().size(); ++i)
    {
        const auto& a = first.sections()[i];
        const auto& b = second.sections()[i];
        if (a.name != b.name || a.entries.size() != b.entries.size())
            std::abort();
        for (size_t k = 0; k < a.entries.size(); ++k)
            if (a.entries[k].key != b.entries[k].key || a.entries[k].value != b.entries[k].value)
                std::abort();
    }
    return 0;
}
