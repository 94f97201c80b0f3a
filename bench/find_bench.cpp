// Find over 100 MB held in the receive area: the time to the first match and to the whole
// count, and the longest the window thread is held while it searches. First the finder
// alone, then through the real dialog's find bar (on the display in DISPLAY: run it under
// Xvfb with QT_QPA_PLATFORM=xcb to measure what a user gets, painting included).
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_dialog.h"
#include "dialog/dialog_builder.h"
#include "receive/find_session.h"
#include "receive/receive_view.h"
#include "receive/text_save.h"

namespace {

using namespace bench;

constexpr size_t kHeld = 100u << 20;

// Log-like lines with a sequence number; the last line holds a word found nowhere else.
std::string Line(size_t seq) {
    return "2026-12-08 17:00:00.000 temperature=23.5 status=OK seq=" + std::to_string(seq) + "\r\n";
}

template <typename Fill>
void FillTo(Fill fill, size_t bytes) {
    std::string block;
    for (size_t seq = 0, held = 0; held < bytes; held += block.size()) {
        block.clear();
        while (block.size() < (1u << 20)) block += Line(seq++);
        fill(block);
    }
    fill("LAST-LINE\r\n");
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Finder(const char* what, const ReceiveText& text, const FindPattern& pattern) {
    FindSession session(pattern);
    const auto start = Clock::now();
    session.Seek(text, 0, true);
    Clock::duration worst{}, found{};
    for (bool busy = true; busy;) {
        const auto before = Clock::now();
        busy = session.Step(text, before + std::chrono::milliseconds(8));
        worst = std::max(worst, Clock::now() - before);
        if (found == Clock::duration{} && !session.Seeking()) found = Clock::now() - start;
    }
    std::printf("finder, %-34s first match %7.1f ms, count %9llu in %7.1f ms, longest step %.1f ms\n", what,
                Ms(found), static_cast<unsigned long long>(session.Count()), Ms(Clock::now() - start), Ms(worst));
}

void FinderAlone() {
    ReceiveDocument text;
    FillTo([&](std::string_view block) { text.AppendLatin1(block); }, kHeld);
    std::printf("%zu MB of text held\n", text.Size() >> 20);
    Finder("\"status=ok\" (any case):", text.Snapshot(), FindPattern::Text(u"status=ok", false));
    Finder("\"LAST-LINE\" (the last line):", text.Snapshot(), FindPattern::Text(u"LAST-LINE", true));
    Finder("\"absent\":", text.Snapshot(), FindPattern::Text(u"absent", true));
    // Saving what is shown reads the same store in one go on the window thread.
    const std::string saved = std::filesystem::temp_directory_path() / "corvala-bench-save.txt";
    std::string error;
    const auto start = Clock::now();
    const bool ok = SaveText(text.Snapshot(), saved, error) == SaveOutcome::Saved;
    std::printf("save display, %zu MB: %.1f ms%s\n", text.Size() >> 20, Ms(Clock::now() - start),
                ok ? "" : error.c_str());
    std::filesystem::remove(saved);
    ReceiveDocument hex;
    std::string pairs;
    for (int i = 0; i < 1 << 16; ++i) pairs += i % 8 ? "41 42 " : "0D 0A ";
    while (hex.Size() < 3 * kHeld) hex.AppendLatin1(pairs);
    std::printf("%zu MB received shown as hex pairs (%zu M characters)\n", hex.Size() / 3 >> 20, hex.Size() >> 20);
    Finder("bytes 0D 0A as pairs:", hex.Snapshot(), *FindPattern::Bytes({0x0D, 0x0A}, true));
}

void FindBarInTheWindow() {
    Dialog d("corvala-bench-find");
    if (!QTest::qWaitForWindowExposed(&d.dlg)) std::printf("the window was never shown\n");
    auto* view = d.Get<ReceiveView>("IDC_EDIT_RX");
    FillTo([&](std::string_view block) { view->Append(block); }, kHeld);
    QApplication::processEvents();
    view->SetSelection(0, 0);
    QApplication::setActiveWindow(&d.dlg);
    if (!QTest::qWaitForWindowActive(&d.dlg)) std::printf("the window never became active\n");
    view->setFocus();
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    auto* field = d.Get<QLineEdit>("FindText");
    auto* count = d.Get<QLabel>("FindCount");
    for (const char* pattern : {"LAST-LINE", "seq=1234"}) {
        field->clear();
        StallProbe probe;
        const auto start = Clock::now();
        field->setText(QString::fromLatin1(pattern));
        Clock::duration found{};
        while (!count->text().startsWith(QStringLiteral("第"))) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (found == Clock::duration{} && view->SelectionEnd() > view->SelectionStart()) found = Clock::now() - start;
        }
        std::printf("find bar, \"%s\": match selected in %.1f ms, \"%s\" after %.1f ms, worst window-thread stall"
                    " %.1f ms\n",
                    pattern, Ms(found), qPrintable(count->text()), Ms(Clock::now() - start), probe.WorstMs());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(DialogFont());
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    FinderAlone();
    FindBarInTheWindow();
    return 0;
}
