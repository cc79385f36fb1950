#include "Onboarding/OnboardingView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "Base/Localization.h"
#include "Design/TessikColor.h"
#include "Onboarding/OnboardingStyle.h"
#include "Onboarding/OnboardingWidgets.h"

using namespace OnboardingWidgets;

OnboardingView::OnboardingView(OnboardingModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeHeader());
    layout->addWidget(new Divider(this));
    layout->addWidget(m_requestScreen = makeRequestScreen());
    layout->addWidget(m_grantedScreen = makeGrantedScreen());

    // Outside dialogs Qt gives default buttons no key: Return and Enter are bound here.
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (QPushButton* button = defaultButton()) button->click();
        });
    }
    connect(&m_model, &OnboardingModel::stepChanged, this, &OnboardingView::showStep);
    showStep(m_model.step());
}

QPushButton* OnboardingView::defaultButton() const {
    return m_model.step() == OnboardingModel::Step::needsPermission ? m_openSettings : m_relaunch;
}

QWidget* OnboardingView::makeHeader() {
    auto* header = new QWidget(this);
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(24, 28, 24, 28);
    layout->setSpacing(12);
    layout->addWidget(new AppIconView(header), 0, Qt::AlignHCenter);
    auto* title = new QLabel(localized("Tessik a besoin d'accéder à votre écran"), header);
    title->setFont(OnboardingStyle::titleFont());
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    layout->addWidget(title);
    return header;
}

QWidget* OnboardingView::makeRequestScreen() {
    auto* screen = new QWidget(this);
    auto* layout = new QVBoxLayout(screen);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);
    layout->addWidget(paragraph(
        localized("Pour capturer une zone de l'écran, votre bureau demande votre accord pour "
                  "les captures d'écran. Tessik ne lit l'écran qu'au moment où vous déclenchez "
                  "une capture."),
        screen));
    auto* box = new InstructionsBox(screen);
    const char* steps[] = {"Acceptez la demande de captures d'écran que votre bureau affiche.",
                           "Déjà refusée ? Autorisez Tessik à faire des captures d'écran dans "
                           "les paramètres des applications de votre bureau.",
                           "Revenez ici : Tessik détectera l'autorisation tout seul."};
    for (int i = 0; i < 3; ++i)
        box->layout()->addWidget(instructionRow(i + 1, localized(steps[i]), box));
    layout->addWidget(box);
    m_openSettings = OnboardingWidgets::defaultButton(localized("Ouvrir les paramètres"), screen);
    connect(m_openSettings, &QPushButton::clicked, this, [this] { m_model.openSystemSettings(); });
    layout->addWidget(trailingRow(m_openSettings, screen));
    return screen;
}

QWidget* OnboardingView::makeGrantedScreen() {
    auto* screen = new QWidget(this);
    auto* layout = new QVBoxLayout(screen);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);

    auto* granted = new QWidget(screen);
    auto* grantedRow = new QHBoxLayout(granted);
    grantedRow->setContentsMargins(0, 0, 0, 0);
    grantedRow->setSpacing(6);
    auto* label = new QLabel(localized("Autorisation accordée"), granted);
    label->setFont(OnboardingStyle::grantedFont());
    QPalette accentText = label->palette();
    accentText.setColor(QPalette::WindowText, TessikColor::accent());
    label->setPalette(accentText);
    grantedRow->addWidget(new CheckmarkSymbol(16, granted));
    grantedRow->addWidget(label);
    grantedRow->addStretch(1);
    layout->addWidget(granted);

    layout->addWidget(paragraph(
        localized("Relancez Tessik pour repartir avec l'autorisation accordée."), screen));
    m_relaunch = OnboardingWidgets::defaultButton(localized("Relancer Tessik"), screen);
    connect(m_relaunch, &QPushButton::clicked, this, [this] { m_model.relaunch(); });
    layout->addWidget(trailingRow(m_relaunch, screen));
    return screen;
}

void OnboardingView::showStep(OnboardingModel::Step step) {
    const bool granted = step == OnboardingModel::Step::grantedNeedsRelaunch;
    m_requestScreen->setVisible(!granted);
    m_grantedScreen->setVisible(granted);
    fitHeight();
}

void OnboardingView::fitHeight() {
    // Fixed width; the height is whatever the wrapped text needs, never less.
    layout()->activate();
    setFixedSize(fixedWidth, layout()->totalHeightForWidth(fixedWidth));
}

void OnboardingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_model.startWatching();
}

void OnboardingView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_model.stopWatching();
}
