#pragma once

#include <QPoint>
#include <QUrl>
#include <functional>

class QWidget;

// Opens `url` in the user's browser.
void OpenInBrowser(const QUrl& url);

// The logo as a link to the home page: a hand over the logo's rectangle, and a left click
// inside it opens the page. The logo lets the mouse through, so these are the dialog's
// handlers; positions are in the dialog's coordinates. Window thread only.
class LogoLink {
public:
    using Opener = std::function<void(const QUrl&)>;

    // `logo` belongs to the dialog and outlives the link.
    LogoLink(const QWidget& logo, Opener open);

    // A left click; every one inside the logo opens the page again.
    void OnLButtonDown(QPoint pos) const;
    // Shows the hand over the logo and returns true; elsewhere false, and the dialog shows
    // its usual cursor.
    bool OnSetCursor(QWidget& dialog, QPoint pos) const;

private:
    const QWidget& m_logo;
    Opener m_open;
};
