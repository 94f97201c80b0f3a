#include "ui/logo_link.h"

#include <QDesktopServices>
#include <QWidget>

void OpenInBrowser(const QUrl& url) { QDesktopServices::openUrl(url); }

LogoLink::LogoLink(const QWidget& logo, Opener open) : m_logo(logo), m_open(std::move(open)) {}

// The logo's rectangle is read afresh each time: loading the picture resizes it. Its left
// and top edges are inside, its right and bottom edges are not.
void LogoLink::OnLButtonDown(QPoint pos) const {
    if (m_logo.geometry().contains(pos)) m_open(QUrl(QStringLiteral(CORVALA_HOME_PAGE)));
}

bool LogoLink::OnSetCursor(QWidget& dialog, QPoint pos) const {
    if (!m_logo.geometry().contains(pos)) return false;
    dialog.setCursor(Qt::PointingHandCursor);
    return true;
}
