#include "Readers.h"

namespace sendora::sourcereaders {

// Readers still being written answer "Not Supported".
std::unique_ptr<SourceReader> makeExcelReader() {
    return makeUnsupportedReader(SourceKind::Excel5);
}
std::unique_ptr<SourceReader> makeParadoxReader(SourceKind kind) {
    return makeUnsupportedReader(kind);
}

} // namespace sendora::sourcereaders
