#pragma once
// Which text holds a composer's current HTML. The loaded or typed source is kept byte for byte
// (an editor widget would normalise line ends and entities); only an edit in the design view
// hands the truth to the design document, and only until its serialisation is shown as source.

#include <QString>

namespace sendora {

class ComposerState {
public:
    void load(const QString& html) {
        m_source = html;
        m_sourceIsCurrent = 1;
        m_designStale = false;
    }
    void designEdited() { m_sourceIsCurrent = 0; }
    void sourceTyped(const QString& text) {
        m_source = text;
        m_sourceIsCurrent = 1;
        m_designStale = true;
    }
    // The design document's serialisation became the source text (the source view was shown).
    void sourceTakes(const QString& serialisation) {
        m_source = serialisation;
        m_sourceIsCurrent = 1;
    }
    void designReloaded() { m_designStale = false; }

    int sourceIsCurrent() const { return m_sourceIsCurrent; }
    bool designStale() const { return m_designStale; } // the design view lags typed source
    const QString& source() const { return m_source; }

private:
    QString m_source;
    int m_sourceIsCurrent = 1;
    bool m_designStale = false;
};

// The plain-text body, kept as given until the user types in it.
class PlainTextState {
public:
    void set(const QString& text) { m_text = text; }
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

} // namespace sendora
