// Both windows as drawn: every control at its pixel rectangle with its
// caption, colour, enabled state, font and tooltip; the focus order; the
// window's own placement; and changes in the model showing at once.
#include "gui_support.h"

#include "frontend/qt/control_widgets.h"
#include "frontend/qt/fonts.h"
#include "model/presentation.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTest>

#include <set>

namespace vqd::gui_test {
namespace {

using qt::to_pixels;
using qt::to_qcolor;

bool on_canvas(const qt::WindowView& v, const Control& c) {
    return v.canvas()->rect().contains(to_pixels(c.rect(), c.kind(), v.pixels_per_twip()));
}

// A point inside a control's box, clear of its text and its frame.
QPoint background_point(const QWidget* w) { return w->geometry().bottomRight() - QPoint(4, 4); }

void expect_drawn_as_modelled(const qt::WindowView& v, const char* shot) {
    const QImage image = v.window()->grab().toImage();
    ASSERT_TRUE(image.save(shot_path(QString::fromLatin1(shot))));
    int checked = 0;
    for (const auto& c : v.model().controls()) {
        SCOPED_TRACE(c->name());
        if (c->kind() == ControlKind::Timer) {
            EXPECT_EQ(v.widget(c->name()), nullptr);
            continue;
        }
        QWidget* w = v.widget(c->name());
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), to_pixels(c->rect(), c->kind(), v.pixels_per_twip()));
        if (!c->visible() || !on_canvas(v, *c)) {
            // Hidden holders stay out of sight: hidden, or wholly off the canvas.
            EXPECT_TRUE(!w->isVisibleTo(v.window()) || !v.canvas()->rect().intersects(w->geometry()));
            continue;
        }
        ++checked;
        EXPECT_TRUE(w->isVisibleTo(v.window()));
        EXPECT_EQ(w->isEnabled(), c->enabled());
        EXPECT_EQ(w->toolTip().toStdString(), std::string(c->tooltip()));
        const QFont f = qt::control_font(c->font());
        EXPECT_EQ(w->font().family(), f.family());
        // A caption too wide for its button or tick box in the family drawn may
        // take a slightly smaller size (qt::fitting_font).
        if (c->kind() == ControlKind::Button || c->kind() == ControlKind::TickBox) {
            EXPECT_LE(w->font().pointSizeF(), f.pointSizeF());
            EXPECT_GE(w->font().pointSizeF(), f.pointSizeF() * qt::kSmallestFit);
        } else {
            EXPECT_DOUBLE_EQ(w->font().pointSizeF(), f.pointSizeF());
        }
        EXPECT_EQ(w->font().weight(), f.weight());
        if (c->kind() == ControlKind::Line) continue;
        // What a screen reader reads: the model's name for the control, and a
        // box's value.
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty());
        EXPECT_EQ(a->text(QAccessible::Name).toStdString(), accessible_name(v.model(), *c));
        if (c->kind() == ControlKind::TextBox) {
            EXPECT_EQ(shown_text(w), c->multiline() ? c->text() : one_line(c->text()));
            if (!c->multiline()) {
                EXPECT_EQ(a->text(QAccessible::Value).toStdString(), one_line(c->text()));
            }
        } else {
            EXPECT_EQ(shown_text(w), c->caption());
        }
        if (auto* box = qobject_cast<QCheckBox*>(w)) {
            EXPECT_EQ(box->checkState() == Qt::Checked, c->value() == 1);
        }
        if (c->back_colour() && c->kind() != ControlKind::Button) {
            EXPECT_EQ(image.pixelColor(background_point(w)), to_qcolor(*c->back_colour()));
        }
    }
    EXPECT_GT(checked, 10);
}

class RenderTest : public GuiTest {};

TEST_F(RenderTest, MainWindowDrawsEveryControlAsModelled) {
    store("CLI_GBC_BAT_TICKBOX", "1");
    start();
    expect_drawn_as_modelled(*view, "main-window.png");
}

TEST_F(RenderTest, SettingsWindowDrawsEveryControlAsModelled) {
    store("CLI_GBC_BAT_TICKBOX", "1");
    store("RUN_COMMAND_TICKBOX", "1");  // one action box active, one inactive (#E0E0E0)
    store("VQ_CLI_UI_LOCATION_TEXTBOX", "/srv/vqd");
    start();
    ASSERT_TRUE(open_settings());
    // One composer tick, so the displays hold command lines.
    ASSERT_TRUE(wait_until([&] { return !main->settings_window()->operator[]("VQCLI_GBC_COMMAND_TEXTBOX").text().empty(); }));
    QCoreApplication::processEvents();
    expect_drawn_as_modelled(*view->modal_child(), "settings-window.png");
}

TEST_F(RenderTest, ControlsSitAtTwipsOverFifteenAtNinetySixDpi) {
    start();
    if (view->window()->logicalDpiX() != 96) GTEST_SKIP() << "screen is not 96 DPI";
    EXPECT_EQ(widget("START_STOP_BUTTON")->geometry(), QRect(264, 176, 65, 33));
    EXPECT_EQ(widget("CURRENT_BLOCK_TEXTBOX")->geometry(), QRect(160, 88, 177, 26));
    // Outer size 5280 x 3630 twips at Left/Top 1000 twips; the client is what the frame leaves.
    EXPECT_EQ(view->window()->pos(), QPoint(67, 67));
    EXPECT_EQ(view->window()->frameGeometry().size(), QSize(352, 242));
    // The band down to the bottom row shows; the first hidden holder does not.
    EXPECT_TRUE(view->canvas()->rect().contains(widget("AUTORUN_TIMER_TEXTBOX")->geometry()));
    EXPECT_FALSE(view->canvas()->rect().intersects(widget("CLI_NAME_LABEL")->geometry()));
}

TEST_F(RenderTest, FocusFollowsTheDesignedOrderAndStartsOnStartStop) {
    store("CLI_GBC_BAT_TICKBOX", "1");
    start();
    EXPECT_EQ(view->window()->focusWidget(), widget("START_STOP_BUTTON"));
    // Walk the tab chain over the enabled tick boxes and buttons on screen.
    std::vector<std::string> seen;
    QWidget* w = widget("START_STOP_BUTTON");
    for (int i = 0; i < 40 && seen.size() < 20; ++i) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(view->window()))
            seen.push_back(w->objectName().toStdString());
        w = w->nextInFocusChain();
        if (w == widget("START_STOP_BUTTON")) break;
    }
    const std::vector<std::string> expected = {"START_STOP_BUTTON", "AUTOSTART_TICKBOX", "AlwaysOnTopTimer_TICKBOX",
                                               "CLI_STOP_BAT_TICKBOX", "CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX", "GETBLOCKCOUNT_BUTTON",
                                               "GETCONNECTIONCOUNT_BUTTON", "SHUTDOWN_BUTTON", "SETTINGS_BUTTON"};
    // Auto Close is disabled in this state and skipped.
    EXPECT_EQ(seen, expected);
}

TEST_F(RenderTest, ModelChangesShowAtOnce) {
    start();
    auto& label = (*main)["PROCESS_ACTIVE_LABEL"];
    auto& box = (*main)["CURRENT_BLOCK_TEXTBOX"];
    label.set_caption("!!! CLI RUNNING !!!");
    label.set_back_colour(colours::red);
    box.set_text("4242\r\n");
    (*main)["CONNECTIONS_TEXTBOX"].set_text("8\r\n9\n");
    box.set_back_colour(colours::window_background);
    (*main)["SHUTDOWN_BUTTON"].set_enabled(false);
    (*main)["AUTOSTART_TICKBOX"].set_value(1);
    main->set_caption("renamed");

    EXPECT_EQ(shown_text(widget("PROCESS_ACTIVE_LABEL")), "!!! CLI RUNNING !!!");
    EXPECT_EQ(shown_text(widget("CURRENT_BLOCK_TEXTBOX")), "4242");  // the log's line end is not drawn
    EXPECT_EQ(shown_text(widget("CONNECTIONS_TEXTBOX")), "8 9");       // one inside shows as a blank
    EXPECT_FALSE(widget("SHUTDOWN_BUTTON")->isEnabled());
    EXPECT_TRUE(static_cast<QCheckBox*>(widget("AUTOSTART_TICKBOX"))->isChecked());
    EXPECT_EQ(view->window()->windowTitle(), "renamed");
    const QImage image = grab(view->window());
    EXPECT_EQ(image.pixelColor(background_point(widget("PROCESS_ACTIVE_LABEL"))), QColor(255, 0, 0));
    // The system window colour is the palette's text-box background.
    EXPECT_EQ(image.pixelColor(background_point(widget("CURRENT_BLOCK_TEXTBOX"))),
              QApplication::palette().color(QPalette::Base));
}

TEST_F(RenderTest, WindowFollowsStoredPlacementAndReportsMoves) {
    store("MainLeft", "1500");
    store("MainTop", "3000");
    store("MainWidth", "6000");
    store("MainHeight", "4500");
    start();
    const double ppt = view->pixels_per_twip();
    EXPECT_EQ(view->window()->pos(), QPoint(qRound(1500 * ppt), qRound(3000 * ppt)));
    EXPECT_EQ(view->window()->frameGeometry().size(), QSize(qRound(6000 * ppt), qRound(4500 * ppt)));

    // A move by the window system once the window stands placed (earlier ones
    // are the window manager's placement) reaches the model, which stores it at close.
    QTest::qWait(MoveJudge::kPlacementMs + 100);
    view->window()->move(300, 150);
    ASSERT_TRUE(wait_until([&] { return main->left() != 1500; }));
    EXPECT_FLOAT_EQ(main->left(), static_cast<float>(300 / ppt));
    EXPECT_FLOAT_EQ(main->top(), static_cast<float>(150 / ppt));

    // Unmoved, the stored twips survive the round trip through pixels unchanged.
    main->set_left(1000);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->window()->pos().x(), qRound(1000 * ppt));
    EXPECT_FLOAT_EQ(main->left(), 1000.0f);
}

// The style's picture cache is keyed by palette identity, and Qt keeps part of
// every key it has seen; a window opened again must draw with the palettes the
// first opening drew with, or each opening leaves memory behind for good.
class PaletteRecordingStyle final : public QProxyStyle {
public:
    PaletteRecordingStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    void drawPrimitive(PrimitiveElement e, const QStyleOption* o, QPainter* p, const QWidget* w) const override {
        if (e == PE_PanelButtonCommand) record(o, w);
        QProxyStyle::drawPrimitive(e, o, p, w);
    }
    void drawComplexControl(ComplexControl c, const QStyleOptionComplex* o, QPainter* p,
                            const QWidget* w) const override {
        if (c == CC_ScrollBar) record(o, w);
        QProxyStyle::drawComplexControl(c, o, p, w);
    }

    // Palette identities drawn with, and drawings whose colour group did not
    // match their widget's state.
    mutable std::set<qint64> seen;
    mutable int wrong_group = 0;

private:
    void record(const QStyleOption* o, const QWidget* w) const {
        seen.insert(o->palette.cacheKey());
        const bool disabled = o->palette.currentColorGroup() == QPalette::Disabled;
        if (w && disabled == w->isEnabled()) ++wrong_group;
    }
};

// How far a control's caption overflows the room it has (0: it fits), in
// pixels, measured with the widget's own font. Buttons and tick boxes draw the
// lines they were given; labels wrap at words.
int caption_overflow(const QWidget* w, const Control& c) {
    const QFontMetrics fm(w->font());
    QRect room = w->contentsRect();
    QString text;
    if (auto* box = qobject_cast<const QCheckBox*>(w)) {
        QStyleOptionButton option;
        option.initFrom(box);
        room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        text = box->text();
    } else if (auto* button = qobject_cast<const QPushButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        text = button->text();
    } else {
        text = QString::fromStdString(c.caption());
    }
    const int flags = qobject_cast<const QLabel*>(w) ? Qt::TextWordWrap : 0;
    const QRect need = fm.boundingRect(QRect(0, 0, room.width(), 100000), flags, text);
    return std::max(0, need.width() - room.width()) + std::max(0, need.height() - room.height());
}

// At any scale (QT_SCALE_FACTOR; CTest runs this at 1.5 and 2 too) every
// caption on screen fits its control, and a display's line its box.
TEST_F(RenderTest, EveryCaptionFitsItsControl) {
    start();
    ASSERT_TRUE(open_settings());
    QCoreApplication::processEvents();
    const double scale = view->window()->devicePixelRatioF();
    int measured = 0;
    for (const qt::WindowView* v : {view.get(), view->modal_child()}) {
        for (const auto& c : v->model().controls()) {
            QWidget* w = v->widget(c->name());
            if (!w || !c->visible() || !on_canvas(*v, *c)) continue;
            SCOPED_TRACE(c->name());
            if (c->kind() == ControlKind::TextBox) {
                auto* line = qobject_cast<QLineEdit*>(w);
                if (!line) continue;
                QStyleOptionFrame option;
                option.initFrom(line);
                const QRect inner = line->style()->subElementRect(QStyle::SE_LineEditContents, &option, line);
                EXPECT_LE(QFontMetrics(line->font()).height(), inner.height() + 1);
                ++measured;
                continue;
            }
            if (c->kind() == ControlKind::Line) continue;
            EXPECT_EQ(caption_overflow(w, *c), 0) << "at " << scale << "x: \"" << c->caption() << "\"";
            ++measured;
        }
    }
    EXPECT_GT(measured, 40);
    std::printf("[ figures  ] %d captions measured at %gx\n", measured, scale);
}

TEST_F(RenderTest, SettingsOpenedAgainDrawsButtonsAndScrollBarsWithTheFirstOpeningsPalettes) {
    std::set<qint64> first;
    auto* style = new PaletteRecordingStyle;
    QApplication::setStyle(style);
    // No poll option ticked: the main window's two poll buttons are disabled,
    // and they draw first; the Settings buttons are enabled.
    start();
    ASSERT_FALSE(widget("GETBLOCKCOUNT_BUTTON")->isEnabled());
    (void)grab(view->window());
    for (int opening = 0; opening < 3; ++opening) {
        SCOPED_TRACE(opening);
        ASSERT_TRUE(open_settings());
        QPointer<QWidget> settings = view->modal_child()->window();
        style->seen.clear();
        (void)grab(settings);
        const std::set<qint64> drawn = style->seen;
        if (opening == 0) first = drawn;
        click(settings_widget("CLOSE_BUTTON"));
        ASSERT_TRUE(wait_until([&] { return settings.isNull(); }));
        if (opening > 0) {
            EXPECT_FALSE(drawn.empty());
            for (qint64 key : drawn)
                EXPECT_TRUE(first.count(key)) << "a palette the first opening did not draw with";
        }
    }
    EXPECT_FALSE(first.empty());
    // Shared or not, a disabled button draws disabled and an enabled one does not.
    EXPECT_EQ(style->wrong_group, 0);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

}  // namespace
}  // namespace vqd::gui_test
