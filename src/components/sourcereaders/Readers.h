#pragma once
// The readers behind createReader(), one per library.

#include "SourceReader.h"

namespace sendora::sourcereaders {

std::unique_ptr<SourceReader> makeUnsupportedReader(SourceKind kind);
std::unique_ptr<SourceReader> makeAccessReader();
std::unique_ptr<SourceReader> makeDbfReader(SourceKind kind);
std::unique_ptr<SourceReader> makeExcelReader();
std::unique_ptr<SourceReader> makeParadoxReader(SourceKind kind);
std::unique_ptr<SourceReader> makeTextReader();

} // namespace sendora::sourcereaders
