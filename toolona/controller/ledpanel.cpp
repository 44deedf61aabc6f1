#include "controller/ledpanel.h"

#include "controller/controllervalue.h"
#include "kit/toolgateway.h"
#include "widgets/statusledwidget.h"

#include "basgui/busycursor.h"
#include "oncdata.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace cv = controllervalue;

LEDPanel::LEDPanel(ToolGateway* gateway, QWidget* parent)
    : VirtualIOPanel(gateway, tr("Virtual LED"), tr("Data:"), parent) {
    m_dataLabel = new QLabel(QStringLiteral("----------"), m_group);
    m_dataLabel->setObjectName(QStringLiteral("ledData"));
    m_grid->addWidget(m_dataLabel, 1, 1, 1, 2);
    m_grid->addWidget(new QLabel(tr("Polling Speed:  "), m_group), 1, 3);
    m_grid->addWidget(new QLabel(tr("Min "), m_group), 1, 4, Qt::AlignRight);
    m_slider = new QSlider(Qt::Horizontal, m_group);
    m_slider->setRange(1, 5);
    m_slider->setPageStep(1);
    m_slider->setTickPosition(QSlider::TicksBothSides);
    m_slider->setValue(3);
    m_grid->addWidget(m_slider, 1, 5);
    m_grid->addWidget(new QLabel(tr(" Max"), m_group), 1, 6);
    m_normalButton = addHeaderControl(new QPushButton(tr("Start\nPolling"), m_group), 7);
    m_onceButton = addHeaderControl(new QPushButton(tr("Polling\nOnce"), m_group), 8);
    addItemArea(9);

    // Connected once filled, so building the panel sends nothing.
    connect(m_onceButton, &QPushButton::clicked, this, &LEDPanel::handlePollingOnceButtonClicked);
    connect(m_normalButton, &QPushButton::clicked, this, &LEDPanel::handlePollingNormalButtonClicked);
    connect(m_slider, &QSlider::valueChanged, this, &LEDPanel::handlePollingSpeedChanged);
    connect(ONCData::inst(), &ONCData::pollingStopped, this, &LEDPanel::showPollingStopped);
    hide();
}

LEDPanel::~LEDPanel() {
    if (m_polling)
        handlePollingNormalButtonClicked();
}

void LEDPanel::setData(const VirtualLEDData& data) {
    m_data = data;
    // The device value is 32 bits wide: further LEDs have no bit to show.
    fillItems(m_data, tr("Virtual LED (%1)"), tr("Showing the first %1 of %2 LEDs: the LED value is 32 bits wide."),
              &m_items);
    setVisible(!m_items.isEmpty());
}

QSize LEDPanel::sizeHint() const { return {835, (int(m_items.size()) / 8 + 4) * 40}; }

void LEDPanel::handlePollingOnceButtonClicked() {
    m_normalButton->setEnabled(false);
    m_onceButton->setEnabled(false);
    m_slider->setEnabled(false);
    {
        vemo::basgui::BusyCursor busy;
        ONCData::inst()->setPollingSpeed(0);
        QString result;
        if (m_gateway && m_gateway->tclEval(QStringLiteral("ona_run_controller -read_led"), &result) &&
            !result.contains(QLatin1String("ERROR")))
            showLedValue(result);
    }
    m_normalButton->setEnabled(true);
    m_onceButton->setEnabled(true);
    m_slider->setEnabled(true);
}

void LEDPanel::handlePollingNormalButtonClicked() {
    ONCData* controller = ONCData::inst();
    if (!m_polling) {
        m_onceButton->setEnabled(false);
        vemo::basgui::BusyCursor busy;
        connect(controller, &ONCData::pollingRead, this, &LEDPanel::handleLedPollingData, Qt::UniqueConnection);
        controller->setPollingSpeed(m_slider->value());
        controller->startLED(m_data.getInstance());
        m_polling = true;
        m_normalButton->setText(tr("Stop\nPolling"));
    } else {
        controller->stopLED();
        showPollingStopped();
    }
}

void LEDPanel::showPollingStopped() {
    if (!m_polling)
        return;
    ONCData* controller = ONCData::inst();
    disconnect(controller, &ONCData::pollingRead, this, &LEDPanel::handleLedPollingData);
    controller->setPollingSpeed(0);
    m_onceButton->setEnabled(true);
    m_normalButton->setText(tr("Start\nPolling"));
    m_polling = false;
}

void LEDPanel::handleLedPollingData(QString) {
    const QString data = ONCData::inst()->getPollingData();
    if (!data.isEmpty())
        showLedValue(data);
}

void LEDPanel::handlePollingSpeedChanged(int value) { ONCData::inst()->setPollingSpeed(value); }

void LEDPanel::showLedValue(const QString& value) {
    const quint32 v = cv::parse(value);
    // The engine may answer with or without "0x"; show it once.
    m_dataLabel->setText(QStringLiteral("0x") + cv::withoutPrefix(value));
    for (int i = 0; i < m_items.size(); ++i)
        m_items.at(i)->setOn((v >> i) & 1u);
    update();
    for (VirtualLEDItem* item : m_items)
        item->update();
}

} // namespace vemo::toolona
