// Fuzzes what a mailbox run reads from messages it did not write: any bytes as a returned
// message, a subject or a phrase category file. Nothing crashes or loops; every address taken
// from a message passes the validity rule; a category file that reads writes back to itself.

#include "import/AddressRules.h"
#include "pop/BounceRules.h"
#include "pop/ReturnedMail.h"
#include "pop/SearchFiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace sendora::pop;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    for (bool checkOriginalTo : {false, true}) {
        const ReturnedRecipients r = returnedRecipients(text, checkOriginalTo);
        for (const FoundAddress& f : r.addresses)
            if (!sendora::IsValidEmailAddress(f.address)) std::abort();
        if (r.addresses.size() > 1 && !r.deliveryReport) std::abort();
    }
    const QString subject = decodedHeaderValue(text.left(2000));
    (void)returnedMailRule(subject, {QStringLiteral("bounce")});
    (void)phraseMatches(subject, text.left(8));
    if (const auto category = parseCategoryFile(QStringLiteral("c"), bytes)) {
        const QByteArray written = categoryFileText(*category);
        const auto again = parseCategoryFile(QStringLiteral("c"), written);
        if (!again || categoryFileText(*again) != written) std::abort();
    }
    return 0;
}
