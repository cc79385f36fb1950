#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QTest>

#include "UI/AlertBox.h"

TEST(AlertBox, IsWideEnoughForItsTitleAsATitleBarShowsIt) {
    const QString name = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName("Tessik");
    // A short text alone would size the box far narrower than its title.
    for (const char* title : {"Capture impossible", "Tessik est déjà lancé"}) {
        QMessageBox box(QMessageBox::Warning, QString::fromUtf8(title), QString::fromUtf8(title),
                        QMessageBox::Ok);
        box.setInformativeText(QString::fromUtf8("le disque est plein."));
        AlertBox::fitTitle(box);
        box.show();
        QFont bold = box.font();
        bold.setBold(true);
        const int titleWidth =
            QFontMetrics(bold).horizontalAdvance(QString::fromUtf8(title) + " — Tessik");
        // The title, and room for a title bar's icon and three buttons.
        EXPECT_GE(box.width(), titleWidth + 4 * 24) << title;
        EXPECT_GE(box.width(), 400) << title;
        box.hide();
    }
    QGuiApplication::setApplicationDisplayName(name);
}

TEST(AlertBox, CtrlCCopiesItsTextsEvenWhereAShortcutHasTheKey) {
    QMessageBox box(QMessageBox::Warning, "Capture impossible", "Capture impossible",
                    QMessageBox::Ok);
    box.setInformativeText(QString::fromUtf8("le disque est plein.\nDossier : /data/shots"));
    // The main menu's Copier, as every Tessik window has it.
    int stolen = 0;
    auto* copy = new QAction(&box);
    copy->setShortcut(QKeySequence::Copy);
    QObject::connect(copy, &QAction::triggered, [&stolen] { ++stolen; });
    box.addAction(copy);
    AlertBox::keepCopyKey(box);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(&box, QKeySequence::Copy);
    EXPECT_EQ(stolen, 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QString::fromUtf8("Capture impossible\nle disque est plein.\nDossier : /data/shots"));
}
