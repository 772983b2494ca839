#pragma once
// The message body editor the message window drives: a design (WYSIWYG) view, an HTML
// source view and a plain-text view, with the send type (HTML, text, both) chosen here.
// The engine behind it is hidden: the message window and its tests see only this class.
//
// The HTML source the user typed or loaded is the truth. sourceIsCurrent() stays non-zero
// until the user edits in the design view; only then does documentHtml() (the design
// document's serialisation) replace the source.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QWidget>
#include <functional>

namespace sendora {

class HtmlComposer : public QWidget {
    Q_OBJECT
public:
    enum ViewMode { DesignView = 0, TextView = 1, SourceView = 2 };
    // Message format codes stored in the Message row's SendType.
    enum SendTypeCode { TextOnly = 0, HtmlOnly = 1, HtmlAndText = 2 };

    using QWidget::QWidget;

    virtual int viewMode() const = 0;
    virtual void setViewMode(int mode) = 0;
    // 0 when the design document holds the current HTML, otherwise the source text does.
    virtual int sourceIsCurrent() const = 0;
    virtual int sendType() const = 0;
    virtual void setSendType(int code) = 0;

    // Loading a document sets both the source and the design document; isLoading() is true
    // until the design view has it.
    virtual QString documentHtml() const = 0;
    virtual void setDocumentHtml(const QString& html) = 0;
    virtual QString sourceHtml() const = 0;
    virtual QString plainText() const = 0;
    virtual void setPlainText(const QString& text) = 0;

    // Insert at the caret: HTML into the design view (or the source view when it shows),
    // text into the plain-text view.
    virtual void insertHtml(const QString& html) = 0;
    virtual void insertText(const QString& text) = 0;

    virtual void setInitToggle(bool on) = 0;
    virtual bool isLoading() const = 0;

    // Brings documentHtml() up to date with the design view, waiting at most timeoutMs
    // while the engine answers. False when the engine did not answer in time.
    virtual bool flushDocument(int timeoutMs = 2000) = 0;

    // Edit commands of the main window's Edit menu on the view that shows.
    virtual void cut() = 0;
    virtual void copy() = 0;
    virtual void paste() = 0;
    virtual void selectAll() = 0;
    virtual void find(const QString& text, bool backwards = false) = 0;

Q_SIGNALS:
    void addHC();                // the user asks for a human-click code
    void addSig();               // the user asks for a signature
    void insertImageRequested(); // the toolbar's image button: the window picks and copies the file
    void contentChanged();
    void loadFinished();
    void focusEntered();
};

// Shows finished mail HTML (the preview, the greeting template): never fetches anything
// from the network, runs no script; cid: images come from the map given with the page.
class HtmlView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // cidFiles maps a content id (without "cid:") to the bytes of that image.
    virtual void showHtml(const QString& html, const QHash<QString, QByteArray>& cidImages = {}) = 0;
    virtual QString shownHtml() const = 0;

Q_SIGNALS:
    void loadFinished();
};

// Makers installed by the application: the GUI installs the engine-backed views, tests
// may install the plain ones. Without an installed maker the plain ones are used.
struct HtmlEngine {
    std::function<HtmlComposer*(QWidget* parent)> composer;
    std::function<HtmlView*(QWidget* parent)> view;
};
void installHtmlEngine(const HtmlEngine& engine);
HtmlComposer* createHtmlComposer(QWidget* parent);
HtmlView* createHtmlView(QWidget* parent);

} // namespace sendora
