#include "sampling/Sampler.h"

// Placeholder until the rtnetlink and /proc/net/dev sources land.
std::unique_ptr<TableSource> MakeSystemTableSource()
{
    return std::make_unique<FixedTableSource>();
}
