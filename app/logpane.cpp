#include "app/logpane.h"

#include "app/messagebox.h"
#include "app/textcodec.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QTextCursor>
#include <QTextDocument>

#include <utility>

namespace vistrel::app {
namespace {

constexpr char kFindAction[] = "Localizar...";
constexpr char kSaveAction[] = "Salvar como...";
constexpr char kFindCaption[] = "Locali&zar:";
constexpr char kPreviousCaption[] = "&Anterior";
constexpr char kNextCaption[] = "&Próximo";
constexpr char kSaveCaption[] = "&Salvar log...";
constexpr char kHideCaption[] = "Ocul&tar";
constexpr char kNotFound[] = "Não encontrado";
constexpr char kSaveDialogTitle[] = "Salvar log";
constexpr char kSaveDialogFilter[] = "Texto (*.txt);;Todos os arquivos (*)";
constexpr char kSaveFailed[] = "Não foi possivel salvar o log em ";

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

SaveFileChooser& currentChooser() {
    static SaveFileChooser chooser;
    return chooser;
}

QString chooseSaveFile(QWidget* parent, const QString& suggestedName) {
    if (const SaveFileChooser& chooser = currentChooser())
        return chooser(parent, suggestedName);
    return QFileDialog::getSaveFileName(parent, text(kSaveDialogTitle), suggestedName,
                                        text(kSaveDialogFilter));
}

} // namespace

// ---- Pane --------------------------------------------------------------------------------------

TLogPane::TLogPane(const QString& fileName, QWidget* parent) : QPlainTextEdit(parent), m_fileName(fileName) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Read-only, yet the cursor moves and selects by keyboard too, so that a match of the search
    // shows and the text can be copied without a mouse.
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
}

void TLogPane::contextMenuEvent(QContextMenuEvent* event) {
    // The read-only pane's own menu (copy, select all), then search and save.
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    menu->addSeparator();
    QAction* find = menu->addAction(text(kFindAction));
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, &TLogPane::findRequested);
    QAction* save = menu->addAction(text(kSaveAction));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, &TLogPane::saveRequested);
    menu->exec(event->globalPos());
}

// ---- Area --------------------------------------------------------------------------------------

TLogArea::TLogArea(QWidget* parent) : QWidget(parent) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_findBar = new QWidget(this);
    auto* bar = new QHBoxLayout(m_findBar);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(4);
    auto* caption = new QLabel(text(kFindCaption), m_findBar);
    m_findField = new QLineEdit(m_findBar);
    caption->setBuddy(m_findField);
    m_findField->setClearButtonEnabled(true);
    m_findStatus = new QLabel(m_findBar);
    m_previous = new QPushButton(text(kPreviousCaption), m_findBar);
    m_next = new QPushButton(text(kNextCaption), m_findBar);
    m_save = new QPushButton(text(kSaveCaption), m_findBar);
    m_hide = new QPushButton(text(kHideCaption), m_findBar);
    for (QPushButton* button : {m_previous, m_next, m_save, m_hide})
        button->setAutoDefault(false);
    bar->addWidget(caption);
    bar->addWidget(m_findField, 1);
    bar->addWidget(m_previous);
    bar->addWidget(m_next);
    bar->addWidget(m_findStatus);
    bar->addStretch(0);
    bar->addWidget(m_save);
    bar->addWidget(m_hide);
    layout->addWidget(m_findBar, 1, 0);
    m_findBar->hide();

    connect(m_previous, &QPushButton::clicked, this, [this] { findPrevious(); });
    connect(m_next, &QPushButton::clicked, this, [this] { findNext(); });
    connect(m_save, &QPushButton::clicked, this, [this] { saveVisiblePane(); });
    connect(m_hide, &QPushButton::clicked, this, &TLogArea::hideFindBar);
    connect(m_findField, &QLineEdit::returnPressed, this, [this] { findNext(); });
    connect(m_findField, &QLineEdit::textChanged, this, [this] { m_findStatus->clear(); });
    m_findField->installEventFilter(this);

    // Anywhere in the window: Ctrl+F opens the bar, F3 / Shift+F3 go to the next or previous
    // match, Ctrl+S saves the visible pane.
    const auto shortcut = [this](QKeySequence::StandardKey key, auto slot) {
        auto* s = new QShortcut(key, this, slot);
        s->setContext(Qt::WindowShortcut);
    };
    shortcut(QKeySequence::Find, [this] { showFindBar(); });
    shortcut(QKeySequence::FindNext, [this] { findNext(); });
    shortcut(QKeySequence::FindPrevious, [this] { findPrevious(); });
    shortcut(QKeySequence::Save, [this] { saveVisiblePane(); });
}

void TLogArea::addPane(TLogPane* pane) {
    auto* layout = static_cast<QGridLayout*>(this->layout());
    layout->addWidget(pane, 0, 0);
    m_panes.push_back(pane);
    connect(pane, &TLogPane::findRequested, this, &TLogArea::showFindBar);
    connect(pane, &TLogPane::saveRequested, this, [this] { saveVisiblePane(); });
}

TLogPane* TLogArea::visiblePane() const {
    for (TLogPane* pane : m_panes)
        if (!pane->isHidden())
            return pane;
    return m_panes.empty() ? nullptr : m_panes.front();
}

void TLogArea::showFindBar() {
    if (TLogPane* pane = visiblePane()) {
        const QString selected = pane->textCursor().selectedText();
        if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
            m_findField->setText(selected);
    }
    m_findBar->show();
    m_findField->setFocus(Qt::ShortcutFocusReason);
    m_findField->selectAll();
}

void TLogArea::hideFindBar() {
    m_findBar->hide();
    if (TLogPane* pane = visiblePane())
        pane->setFocus(Qt::OtherFocusReason);
}

bool TLogArea::findNext() {
    return find(false);
}

bool TLogArea::findPrevious() {
    return find(true);
}

bool TLogArea::find(bool backward) {
    TLogPane* pane = visiblePane();
    if (m_findBar->isHidden() || m_findField->text().isEmpty()) {
        showFindBar();
        if (m_findField->text().isEmpty())
            return false;
    }
    const bool found = pane && findInPane(*pane, m_findField->text(), backward);
    m_findStatus->setText(found ? QString() : text(kNotFound));
    return found;
}

bool TLogArea::saveVisiblePane() {
    TLogPane* pane = visiblePane();
    if (!pane)
        return false;
    const QString path = chooseSaveFile(window(), pane->suggestedFileName());
    if (path.isEmpty())
        return false;
    const QString failure = writePaneText(*pane, path);
    if (!failure.isEmpty()) {
        showMessageBox(toBytes(text(kSaveFailed) + path + QStringLiteral(": ") + failure));
        return false;
    }
    return true;
}

bool TLogArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_findField && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            hideFindBar();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers().testFlag(Qt::ShiftModifier)) {
            findPrevious();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Search and save ---------------------------------------------------------------------------

bool findInPane(QPlainTextEdit& pane, const QString& sought, bool backward) {
    if (sought.isEmpty())
        return false;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (pane.find(sought, flags))
        return true;
    // Round the end: from the other end of the text once more.
    const QTextCursor kept = pane.textCursor();
    QTextCursor from(pane.document());
    from.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
    pane.setTextCursor(from);
    if (pane.find(sought, flags))
        return true;
    pane.setTextCursor(kept);
    return false;
}

QString writePaneText(const QPlainTextEdit& pane, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QByteArray content = pane.toPlainText().toUtf8();
    if (!content.isEmpty())
        content.append('\n');
    if (file.write(content) != content.size())
        return file.errorString();
    if (!file.commit())
        return file.errorString();
    return {};
}

SaveFileChooser setSaveFileChooser(SaveFileChooser chooser) {
    return std::exchange(currentChooser(), std::move(chooser));
}

} // namespace vistrel::app
