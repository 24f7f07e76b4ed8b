#include "app/windowaids.h"

#include "app/dbgrid.h"
#include "app/logpane.h"
#include "app/unit1.h"

#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QMargins>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace vistrel::app {
namespace {

// The captions with their mnemonic: the letter after "&" is underlined and Alt with it clicks the
// button. The two rows' buttons bear the same captions, so each row has letters of its own.
struct ButtonAid {
    QPushButton* TForm1::*button;
    const char* caption;
    const char* tooltip; // nullptr: none
};

constexpr char kCreateHint[] = " Com \"Criar. Aut\" marcado o DDL é executado no destino; sem ele, só "
                               "escrito no log.";

const ButtonAid kButtonAids[] = {
    {&TForm1::Button1, "&Fechar", nullptr},
    {&TForm1::Button2, "&Conectar", nullptr},
    {&TForm1::Button4, "F&echar", nullptr},
    {&TForm1::Button3, "Co&nectar", nullptr},
    {&TForm1::Button6, "&1-CRIAR GENERATOR", "Cria no destino os generators da origem que faltam nele."},
    {&TForm1::Button9, "&2-CRIAR EXCEPTION", "Cria no destino as exceptions da origem que faltam nele."},
    {&TForm1::Button10, "&3-COMPARAR DOMAINS", "Cria no destino os domains da origem que faltam nele."},
    {&TForm1::INICIAR, "&4-COMPARAR TABELAS/VIEWS",
     "Cria no destino as tabelas que faltam, acrescenta as colunas que faltam e as põe na posição "
     "da origem; depois envia ao destino todas as views da origem."},
    {&TForm1::Button5, "&5-COMPARAR PROCEDURES",
     "Recria no destino as procedures que faltam nele ou cujos parâmetros diferem dos da origem; "
     "executa sempre, com ou sem \"Criar. Aut\"."},
    {&TForm1::Button7, "&6-COMPARAR TRIGGERS", "Cria no destino as triggers da origem que faltam nele."},
    {&TForm1::Button11, "&7-COMPARAR  INDICES", "Cria no destino os índices da origem que faltam nele."},
    {&TForm1::Button12, "&8-COMPARAR CONSTRAINTS",
     "Cria no destino as chaves primárias, chaves únicas, chaves estrangeiras e checks da origem que "
     "faltam nele."},
    {&TForm1::Button8, "&LOG DE ERROS", "Alterna entre o log do processo e o log de erros."},
    {&TForm1::Button13, "&DIFERENÇAS",
     "Escreve no log do processo o que difere entre a origem e o destino; nada é executado."},
};

// Processes whose DDL the automatic-creation gate holds back.
bool gatedByCriarauto(QPushButton* TForm1::*button) {
    return button != &TForm1::Button5 && button != &TForm1::Button8 && button != &TForm1::Button13 &&
           button != &TForm1::Button1 && button != &TForm1::Button2 && button != &TForm1::Button3 &&
           button != &TForm1::Button4;
}

} // namespace

void applyKeyboardAids(TForm1& form) {
    for (const ButtonAid& aid : kButtonAids) {
        QPushButton* button = form.*aid.button;
        button->setText(QString::fromUtf8(aid.caption));
        if (aid.tooltip) {
            QString tip = QString::fromUtf8(aid.tooltip);
            if (gatedByCriarauto(aid.button))
                tip += QString::fromUtf8(kCreateHint);
            button->setToolTip(tip);
        }
    }

    // Tab goes along each row and its buttons, to "DIFERENÇAS", through the grids and the log,
    // then the options and the process buttons in their number order, "LOG DE ERROS" last.
    std::vector<QWidget*> order = {
        form.ip1,      form.usuario1, form.senha1,    form.banco1,    form.xbanco,    form.Button1,
        form.Button2,  form.ip2,      form.usuario2,  form.senha2,    form.banco2,    form.xbanco2,
        form.Button4,  form.Button3,  form.Button13,  form.DBGrid1,   form.Memo1,     form.Memo3,
        form.DBGrid2,  form.rapido,   form.CheckBox1, form.CheckBox2, form.criarauto, form.CheckBox3,
        form.Button6,  form.Button9,  form.Button10,  form.INICIAR,   form.Button5,   form.Button7,
        form.Button11, form.Button12, form.Button8,
    };
    // The find bar's controls follow the log when the bar is shown.
    if (TLogArea* area = form.findChild<TLogArea*>()) {
        const QWidget* findControls[] = {area->findField(), area->previousButton(), area->nextButton(),
                                         area->saveButton(), area->hideButton()};
        auto at = std::find(order.begin(), order.end(), form.Memo3) + 1;
        for (const QWidget* control : findControls)
            at = order.insert(at, const_cast<QWidget*>(control)) + 1;
    }
    for (QWidget* widget : order)
        widget->setFocusPolicy(static_cast<Qt::FocusPolicy>(widget->focusPolicy() | Qt::TabFocus));
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

namespace {

// The window's frame (title bar and borders) as far as it is known: nothing before the window
// first shows.
QMargins frameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

void placeOn(QWidget& window, const QScreen& screen) {
    const QRect free = screen.availableGeometry().marginsRemoved(frameMargins(window));
    // A large screen gets most of its area; a small one all of it.
    const QSize size = QSize(kDesignedWidth, kDesignedHeight)
                           .expandedTo(free.size() * 0.85)
                           .boundedTo(free.size())
                           .expandedTo(window.minimumSizeHint());
    QRect area(QPoint(0, 0), size);
    area.moveCenter(free.center());
    area.moveTopLeft(QPoint(std::max(area.left(), free.left()), std::max(area.top(), free.top())));
    window.setGeometry(area);
}

// Once the window has shown, its frame is known: the window is placed again so that the frame
// too stays on the screen.
class FrameFit : public QObject {
public:
    explicit FrameFit(QWidget& window) : QObject(&window), m_window(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window && event->type() == QEvent::Show) {
            m_window.removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                if (const QScreen* screen = m_window.screen();
                    screen && !screen->availableGeometry().contains(m_window.frameGeometry()))
                    placeOn(m_window, *screen);
                deleteLater();
            });
        }
        return false;
    }

private:
    QWidget& m_window;
};

} // namespace

void fitToScreen(TForm1& form, const QScreen* screen) {
    if (!screen) {
        form.resize(kDesignedWidth, kDesignedHeight);
        return;
    }
    placeOn(form, *screen);
    if (!form.isVisible())
        new FrameFit(form);
}

} // namespace vistrel::app
