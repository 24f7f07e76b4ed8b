#pragma once
// The window's log panes and the area that holds them: the process log and the error log in the
// same place (one visible at a time), read-only, searchable (Ctrl+F, then the next or previous
// match) and savable to a UTF-8 file (Ctrl+S, the pane's menu or the find bar's button).
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vistrel::app {

// A log pane. The processes append to it; the operator reads, selects, copies, searches and
// saves. Tab moves the focus on instead of inserting a tab character.
class TLogPane : public QPlainTextEdit {
    Q_OBJECT

public:
    // `fileName`: what the save dialog proposes for this pane.
    TLogPane(const QString& fileName, QWidget* parent);
    const QString& suggestedFileName() const noexcept { return m_fileName; }

signals:
    void findRequested();
    void saveRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QString m_fileName;
};

// The panes stacked in one place, with the find bar under them (hidden until Ctrl+F).
class TLogArea : public QWidget {
    Q_OBJECT

public:
    explicit TLogArea(QWidget* parent);

    // Stacks a pane in the common place. The window shows one pane at a time.
    void addPane(TLogPane* pane);
    // The pane that is shown, the first one when none is.
    TLogPane* visiblePane() const;

    // Shows the find bar with the focus in its field, the pane's selection as the text sought.
    void showFindBar();
    void hideFindBar();
    // Looks for the find field's text in the visible pane, from its cursor on (or back), going
    // round at the end; the match is selected. Whether there was one.
    bool findNext();
    bool findPrevious();
    // Asks for a file (the chooser below) and writes the visible pane into it; a failure is
    // reported in the message box. Whether the file was written.
    bool saveVisiblePane();

    QWidget* findBar() const noexcept { return m_findBar; }
    QLineEdit* findField() const noexcept { return m_findField; }
    QPushButton* previousButton() const noexcept { return m_previous; }
    QPushButton* nextButton() const noexcept { return m_next; }
    QPushButton* saveButton() const noexcept { return m_save; }
    QPushButton* hideButton() const noexcept { return m_hide; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool find(bool backward);

    std::vector<TLogPane*> m_panes;
    QWidget* m_findBar = nullptr;
    QLineEdit* m_findField = nullptr;
    QLabel* m_findStatus = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_hide = nullptr;
};

// Selects the next match of `text` in the pane after its cursor (before it, `backward`), going
// round at the end (the start); letter case disregarded. Whether there was a match.
bool findInPane(QPlainTextEdit& pane, const QString& text, bool backward);

// Writes the pane's text into the file, in UTF-8, one line per line of the pane. Empty on
// success, else the reason it failed.
QString writePaneText(const QPlainTextEdit& pane, const QString& path);

// Asks where to save: the file name chosen, empty when the operator cancelled. The window asks
// with the file dialog; a test installs its own. Returns the previous one (empty: the dialog).
using SaveFileChooser = std::function<QString(QWidget* parent, const QString& suggestedName)>;
SaveFileChooser setSaveFileChooser(SaveFileChooser chooser);

} // namespace vistrel::app
