#include "components/htmlcomposer/HtmlComposer.h"

#include "components/htmlcomposer/PlainHtmlComposer.h"
#include "components/htmlcomposer/PlainHtmlView.h"

namespace sendora {

namespace {
HtmlEngine& installedEngine() {
    static HtmlEngine engine;
    return engine;
}
} // namespace

void installHtmlEngine(const HtmlEngine& engine) {
    installedEngine() = engine;
}

HtmlComposer* createHtmlComposer(QWidget* parent) {
    if (installedEngine().composer) {
        if (HtmlComposer* c = installedEngine().composer(parent)) return c;
    }
    return new PlainHtmlComposer(parent);
}

HtmlView* createHtmlView(QWidget* parent) {
    if (installedEngine().view) {
        if (HtmlView* v = installedEngine().view(parent)) return v;
    }
    return new PlainHtmlView(parent);
}

} // namespace sendora
