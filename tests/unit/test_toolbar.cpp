#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QTest>
#include <QToolTip>

#include "Annotation/AnnotationToolbar.h"
#include "Design/TessikColor.h"
#include "support/ImageProbe.h"

namespace {

using Item = AnnotationToolbar::Item;
using Kind = Annotation::Kind;

// Widget rectangle (y down) of a frame in the bar's y-up space.
QRect widgetRect(const Rect& frame) {
    return QRect(int(frame.minX()), int(44 - frame.maxY()), int(frame.width()),
                 int(frame.height()));
}

Rect frameOf(const AnnotationToolbar& bar, const Item& item) {
    for (const auto& placed : bar.items())
        if (placed.item == item) return placed.frame;
    ADD_FAILURE() << "item not laid out";
    return {};
}

bool isAccent(const QColor& c) {
    return c.red() > 200 && c.green() < 140 && c.blue() < 100;
}
bool isCream(const QColor& c) {
    return c.red() > 200 && c.green() > 200 && c.blue() > 190;
}

TEST(AnnotationToolbar, LaysOutNineteenItemsInGroups) {
    AnnotationToolbar bar;
    EXPECT_EQ(bar.size(), QSize(582, 44));
    const std::tuple<Item, double, double> expected[] = {
        {Item::select(), 8, 30},
        {Item::tool(Kind::arrow), 38, 30},
        {Item::tool(Kind::rectangle), 68, 30},
        {Item::tool(Kind::highlighter), 98, 30},
        {Item::tool(Kind::text), 128, 30},
        {Item::tool(Kind::pixelate), 158, 30},
        {Item::tool(Kind::freehand), 188, 30},
        {Item::colorItem(AnnotationColor::accent), 227, 22},
        {Item::colorItem(AnnotationColor::yellow), 249, 22},
        {Item::colorItem(AnnotationColor::green), 271, 22},
        {Item::colorItem(AnnotationColor::blue), 293, 22},
        {Item::colorItem(AnnotationColor::cream), 315, 22},
        {Item::thicknessItem(Thickness::thin), 346, 30},
        {Item::thicknessItem(Thickness::medium), 376, 30},
        {Item::thicknessItem(Thickness::thick), 406, 30},
        {Item::undo(), 445, 30},
        {Item::redo(), 475, 30},
        {Item::exportItem(ExportAction::save), 514, 30},
        {Item::exportItem(ExportAction::copy), 544, 30},
    };
    ASSERT_EQ(bar.items().size(), std::size(expected));
    for (qsizetype i = 0; i < bar.items().size(); ++i) {
        const auto& [item, x, width] = expected[i];
        EXPECT_EQ(bar.items()[i].item, item) << i;
        EXPECT_EQ(bar.items()[i].frame, Rect(x, 8, width, 28)) << i;
    }
    // Resizing lays out again, the same way.
    bar.resize(700, 60);
    EXPECT_EQ(bar.items().last().frame, Rect(544, 8, 30, 28));
}

TEST(AnnotationToolbar, HitTestTakesTheFirstFrameHoldingThePoint) {
    AnnotationToolbar bar;
    const std::pair<Point, std::optional<Item>> cases[] = {
        {{50, 20}, Item::tool(Kind::arrow)},
        {{222, 20}, std::nullopt},  // the gap after the tools
        {{560, 22}, Item::exportItem(ExportAction::copy)},
        {{560, 40}, std::nullopt},           // above the items
        {{38, 8}, Item::tool(Kind::arrow)},  // left and bottom edges belong to the item
        {{68, 35.9}, Item::tool(Kind::rectangle)},
        {{574, 20}, std::nullopt},
        {{-1e300, 1e300}, std::nullopt},
    };
    for (const auto& [p, expected] : cases) EXPECT_EQ(bar.item(p), expected) << p.x << "," << p.y;
}

TEST(AnnotationToolbar, PressCallsTheItemsCallback) {
    AnnotationToolbar bar;
    QStringList calls;
    bar.callbacks.selectMode = [&](AnnotationMode m) {
        calls << (m.isSelect() ? "select" : "annotate " + rawValue(*m.annotating));
    };
    bar.callbacks.selectColor = [&](AnnotationColor c) { calls << "color " + rawValue(c); };
    bar.callbacks.selectThickness = [&](Thickness t) { calls << "thickness " + rawValue(t); };
    bar.callbacks.undo = [&] { calls << "undo"; };
    bar.callbacks.redo = [&] { calls << "redo"; };
    bar.callbacks.exportImage = [&](ExportAction a) { calls << "export " + rawValue(a); };

    const std::pair<Item, QString> cases[] = {
        {Item::select(), "select"},
        {Item::tool(Kind::pixelate), "annotate pixelate"},
        {Item::colorItem(AnnotationColor::green), "color green"},
        {Item::thicknessItem(Thickness::thick), "thickness thick"},
        {Item::undo(), "undo"},  // dimmed (nothing to undo) but still acts
        {Item::redo(), "redo"},
        {Item::exportItem(ExportAction::save), "export save"},
    };
    for (const auto& [item, call] : cases) {
        calls.clear();
        const Rect f = frameOf(bar, item);
        EXPECT_TRUE(bar.press({f.midX(), f.midY()}));
        EXPECT_EQ(calls, QStringList{call});
    }
    calls.clear();
    EXPECT_FALSE(bar.press({222, 20}));
    EXPECT_TRUE(calls.isEmpty());
}

// Records the mouse events that reach it, to see what the bar lets through.
class EventSink : public QWidget {
public:
    QList<QEvent::Type> seen;

protected:
    void mousePressEvent(QMouseEvent* e) override { seen << e->type(); }
    void mouseMoveEvent(QMouseEvent* e) override { seen << e->type(); }
    void mouseReleaseEvent(QMouseEvent* e) override { seen << e->type(); }
};

TEST(AnnotationToolbar, PrimaryPressActsAtOnceAndDragsAreConsumed) {
    EventSink parent;
    parent.resize(800, 200);
    auto* bar = new AnnotationToolbar(&parent);
    bar->move(10, 10);
    int arrows = 0;
    bar->callbacks.selectMode = [&](AnnotationMode m) {
        if (m == AnnotationMode::annotate(Kind::arrow)) ++arrows;
    };
    // Bar point (50, 20) is widget point (50, 24).
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(50, 24));
    EXPECT_EQ(arrows, 1);  // before any release
    QTest::mouseMove(bar, QPoint(120, 30));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(120, 30));
    EXPECT_EQ(arrows, 1);
    EXPECT_TRUE(parent.seen.isEmpty());
    // A secondary press is not the bar's: it goes on to the view beneath.
    QTest::mousePress(bar, Qt::RightButton, {}, QPoint(50, 24));
    EXPECT_EQ(parent.seen, QList<QEvent::Type>{QEvent::MouseButtonPress});
    EXPECT_EQ(arrows, 1);
}

TEST(AnnotationToolbar, DrawsBackgroundAndStateColours) {
    AnnotationToolbar bar;
    bar.setMode(AnnotationMode::annotate(Kind::text));
    bar.setStyle({AnnotationColor::green, Thickness::thick});
    bar.setDefaultAction(ExportAction::save);
    bar.setCanUndo(false);
    bar.setCanRedo(true);
    const QImage img = ImageProbe::render(bar);

    // Rounded ink background at 0.92; the very corner stays clear.
    QColor ink = TessikColor::ink();
    ink.setAlpha(235);
    EXPECT_TRUE(ImageProbe::near(img.pixelColor(222, 22), ink))
        << img.pixelColor(222, 22).name(QColor::HexArgb).toStdString();
    EXPECT_EQ(img.pixelColor(0, 0).alpha(), 0);

    const auto accentIn = [&](const Item& item) {
        return ImageProbe::count(img, widgetRect(frameOf(bar, item)), isAccent);
    };
    EXPECT_GT(accentIn(Item::tool(Kind::text)), 20);
    EXPECT_EQ(accentIn(Item::select()), 0);
    EXPECT_EQ(accentIn(Item::tool(Kind::arrow)), 0);
    EXPECT_GT(accentIn(Item::exportItem(ExportAction::save)), 20);
    EXPECT_EQ(accentIn(Item::exportItem(ExportAction::copy)), 0);
    EXPECT_GT(accentIn(Item::thicknessItem(Thickness::thick)), 40);
    EXPECT_EQ(accentIn(Item::thicknessItem(Thickness::thin)), 0);

    // Selection bar: 16 x 2 under the chosen tool, from y = 5 to 7 (widget rows 37, 38).
    const Rect text = frameOf(bar, Item::tool(Kind::text));
    EXPECT_TRUE(isAccent(img.pixelColor(int(text.midX()), 38)));
    EXPECT_TRUE(isAccent(img.pixelColor(int(text.midX()) - 7, 37)));
    EXPECT_FALSE(isAccent(img.pixelColor(int(text.midX()) - 10, 37)));
    EXPECT_FALSE(isAccent(img.pixelColor(int(text.midX()), 36)));

    // The ring (diameter 21) around the chosen colour only.
    const auto ringPixel = [&](AnnotationColor c) {
        const Rect f = frameOf(bar, Item::colorItem(c));
        return img.pixelColor(int(f.midX()) + 10, int(44 - f.midY()));
    };
    EXPECT_TRUE(isCream(ringPixel(AnnotationColor::green)));
    EXPECT_FALSE(isCream(ringPixel(AnnotationColor::blue)));
    // The swatch disc in its own colour.
    const Rect blue = frameOf(bar, Item::colorItem(AnnotationColor::blue));
    EXPECT_TRUE(ImageProbe::near(img.pixelColor(int(blue.midX()), int(44 - blue.midY())),
                                 cgColor(AnnotationColor::blue), 2));

    // Undo is dimmed at 0.3 while redo is bright: compare their brightest pixels.
    const auto brightest = [&](const Item& item) {
        int best = 0;
        ImageProbe::count(img, widgetRect(frameOf(bar, item)), [&](const QColor& c) {
            best = std::max(best, c.red());
            return false;
        });
        return best;
    };
    EXPECT_GT(brightest(Item::redo()), 220);
    EXPECT_LT(brightest(Item::undo()), 110);
    EXPECT_GT(brightest(Item::undo()), 60);
}

}  // namespace

TEST(AnnotationToolbarTips, EveryItemHasAFrenchTipNamingItsKey) {
    AnnotationToolbar bar;
    QStringList tips;
    for (const auto& placed : bar.items()) {
        const QString tip = AnnotationToolbar::toolTip(placed.item);
        EXPECT_FALSE(tip.isEmpty());
        EXPECT_FALSE(tips.contains(tip)) << tip.toStdString();
        tips << tip;
    }
    for (const char* expected :
         {"Copier (Ctrl+C)", "Enregistrer (Ctrl+S)", "Annuler (Ctrl+Z)", "Rétablir (Ctrl+Maj+Z)",
          "Sélection", "Flèche", "Rectangle", "Surligneur", "Texte", "Pixellisation",
          "Dessin à main levée", "Orange", "Jaune", "Vert", "Bleu", "Crème", "Trait fin",
          "Trait moyen", "Trait épais"})
        EXPECT_TRUE(tips.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_EQ(tips.size(), bar.items().size());

    // Hovering shows the tip of the item under the pointer.
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    for (const auto& placed : bar.items()) {
        const Rect& f = placed.frame;
        const QPoint at(int(f.midX()), int(bar.height() - f.midY()));
        QHelpEvent help(QEvent::ToolTip, at, bar.mapToGlobal(at));
        QApplication::sendEvent(&bar, &help);
        EXPECT_EQ(QToolTip::text(), AnnotationToolbar::toolTip(placed.item));
    }
}
