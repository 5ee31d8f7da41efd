#pragma once
// The help window: the program's own HTML pages, shipped in the resources, shown in a text
// browser. A help context id (the number a window sets for F1, or 1 for the contents and 1011
// for the licence) chooses the page; a context without a page of its own opens the contents.
// Pages come in the user's language, English where a page has no translation.

#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QPushButton;

namespace kalmira {

class HelpViewer : public QWidget {
    Q_OBJECT

public:
    // Context ids with pages of their own.
    static constexpr int kContents = 1;
    static constexpr int kLicense = 1011;

    explicit HelpViewer(QWidget* owner = nullptr);

    // The resource page (with an anchor where the context is a section) for `contextId`.
    static QUrl PageForContext(int contextId);
    // Shows the one help window at the page of `contextId` and brings it to the front. While a
    // modal dialog runs, the window belongs to that dialog so it can be used beside it.
    static HelpViewer* ShowHelp(QWidget* owner, int contextId);
    // The help context of what the user works in now: the active window's, or the focused
    // document's; 1 (the contents) when none says otherwise.
    static int CurrentHelpContext();

    void ShowContext(int contextId);
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
    QPushButton* contents_;
    QPushButton* back_;
    QPushButton* forward_;
};

}  // namespace kalmira
