#pragma once
// Operations that build a new address list file from one or two list files: merge, clean,
// find duplicates, select records and export to text.

#include <QString>

namespace sendora {} // namespace sendora
