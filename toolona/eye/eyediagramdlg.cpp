#include "eye/eyediagramdlg.h"

#include "basgui/dialogseam.h"
#include "eomfiles.h"
#include "eye/eomdatadlg.h"
#include "eye/eyescalebar.h"
#include "eye/eyesurface.h"
#include "eyemonitor.h"
#include "widgets/buttonrow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QOpenGLContext>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QVBoxLayout>
#include <cmath>

namespace vemo::toolona {

namespace {

QStandardItemModel* newModel() {
    auto* model = new QStandardItemModel;
    model->setItemRoleNames({{Qt::UserRole + 1, "PosXRole"}, {Qt::UserRole + 2, "PosYRole"}});
    return model;
}

void appendPoint(QStandardItemModel* model, const QVariant& x, const QVariant& y, const QVariant& height) {
    auto* item = new QStandardItem;
    item->setData(x, Qt::UserRole + 1);
    item->setData(y, Qt::UserRole + 2);
    item->setData(height, Qt::DisplayRole);
    model->appendRow(item);
}

} // namespace

bool EyeDiagramDlg::openGLAvailable() {
    static const bool available = [] {
        const QString platform = QGuiApplication::platformName();
        if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
            return false;
        QOpenGLContext context;
        return context.create();
    }();
    return available;
}

Q3DSurface* EyeDiagramDlg::surface() {
    EyeSurface* shared = existingEyeSurface();
    return shared ? shared->graph() : nullptr;
}

QString EyeDiagramDlg::heightFormat(double max) {
    // Whole numbers only where the ticks are whole: small ranges need places.
    if (max >= 50)
        return QStringLiteral("%d");
    if (max >= 5)
        return QStringLiteral("%.1f");
    return QStringLiteral("%.2f");
}

EyeDiagramDlg::EyeDiagramDlg(const QString& name, const QList<QStringList>& rows, const QString& path, QWidget* parent)
    : QDialog(parent), m_name(name), m_rows(rows), m_label(path) {
    setMinimumSize(700, 500);
    build(false);
    findMeasurement(path);
    loadCsv();
    showMeasurement();
}

EyeDiagramDlg::EyeDiagramDlg(const QString& name, const QStringList& comb, const QStringList& x, const QStringList& y,
                             const QString& label, QWidget* parent)
    : QDialog(parent), m_name(name), m_label(label), m_comb(comb), m_x(x), m_y(y) {
    setMinimumSize(1200, 900);
    m_textVariant = true;
    build(true);
    loadText();
    showMeasurement();
}

void EyeDiagramDlg::showMeasurement() {
    m_measurement->setText(tr("Eye width: %1  Eye height: %2\n").arg(m_width).arg(m_height));
    if (m_uiPerStep > 0 && m_voltsPerStep > 0)
        m_units->setText(tr("Width %1 steps = %2 UI     Height %3 steps = %4 mV")
                             .arg(m_width)
                             .arg(QString::number(m_width * m_uiPerStep, 'f', 3))
                             .arg(m_height)
                             .arg(QString::number(m_height * m_voltsPerStep * 1000.0, 'f', 1)));
    else
        m_units->setText(tr("Width and height in phase and voltage steps: this result does not say what a step is."));
    // The colours are the surface's: the one shared surface keeps the look
    // of the variant it was first made for.
    const bool textLook = existingEyeSurface() ? existingEyeSurfaceIsText() : m_textVariant;
    m_scale->setScale(eyeGradientStops(textLook), qMax(1, m_maxHeight),
                      m_textVariant ? tr("Comb x 10000") : tr("Error ratio"),
                      m_textVariant ? QString() : QStringLiteral(" %"));
}

EyeDiagramDlg::~EyeDiagramDlg() {
    EyeSurface* shared = existingEyeSurface();
    if (shared && shared->container()->parentWidget() == this) {
        shared->container()->hide();
        shared->container()->setParent(nullptr);
    }
}

void EyeDiagramDlg::build(bool textVariant) {
    setWindowFlags((windowFlags() | Qt::WindowCloseButtonHint) & ~Qt::WindowContextHelpButtonHint);
    setWindowTitle(tr("Eye Diagram"));
    QWidget* view = nullptr;
    QString why;
    EyeSurface* shared = openGLAvailable() ? sharedEyeSurface(textVariant, &why) : nullptr;
    if (shared) {
        shared->container()->setParent(this);
        shared->container()->show();
        view = shared->container();
    } else {
        auto* none =
            new QLabel(why.isEmpty() ? tr("The eye diagram needs OpenGL, which is not available on this display.")
                                     : tr("The eye diagram cannot be drawn: %1").arg(why),
                       this);
        none->setAlignment(Qt::AlignCenter);
        none->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        view = none;
    }
    m_measurement = new QLabel(this);
    m_measurement->setAlignment(Qt::AlignCenter);
    // Black on white in either theme: the dark theme's light text would
    // vanish on the label's white.
    m_measurement->setStyleSheet(
        QStringLiteral("QLabel {background-color: white; color: black; font-size: 13px; font-weight: bold;}"));
    m_units = new QLabel(this);
    m_units->setObjectName(QStringLiteral("eyeUnits"));
    m_units->setAlignment(Qt::AlignCenter);
    m_units->setWordWrap(true);
    m_units->setStyleSheet(QStringLiteral("QLabel {background-color: white; color: black; font-size: 12px;}"));
    m_scale = new EyeScaleBar(this);

    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(view);
    column->addWidget(m_measurement);
    column->addWidget(m_units);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    row->addLayout(column);
    row->addWidget(m_scale);

    auto* raw = new QPushButton(tr("&View Raw Data"), this);
    auto* close = new QPushButton(tr("&Close"), this);
    connect(raw, &QPushButton::clicked, this, &EyeDiagramDlg::onViewRawDataButtonClicked);
    connect(close, &QPushButton::clicked, this, &EyeDiagramDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(centredButtonRow({raw, close}));
}

void EyeDiagramDlg::setResultFile(const QString& file) {
    findMeasurement(file);
    showMeasurement();
}

void EyeDiagramDlg::findMeasurement(const QString& file) {
    // Only the scan that wrote this very file measured it: an imported file
    // or an older one of the same instance has no measurement.
    m_width = m_height = 0;
    m_uiPerStep = m_voltsPerStep = 0;
    if (m_name.isEmpty())
        return;
    for (const EyeResult& r : EyeMonitor::inst()->results())
        if (!r.name.isEmpty() && r.name == m_name) {
            if (r.file == file) {
                m_width = r.width;
                m_height = r.height;
                m_uiPerStep = r.uiPerStep;
                m_voltsPerStep = r.voltsPerStep;
            }
            return;
        }
}

void EyeDiagramDlg::install(bool textVariant, double xMin, double xMax, double zMin, double zMax) {
    EyeSurface* shared = existingEyeSurface();
    if (!shared)
        return;
    EyeAxes axes;
    axes.textVariant = textVariant;
    axes.xSegments = textVariant ? 16 : 10;
    axes.xMin = xMin;
    axes.xMax = xMax;
    axes.xFormat = textVariant ? QStringLiteral("%.2f") : QStringLiteral("%d");
    axes.xTitle = textVariant ? tr("Unit Interval") : tr("Phase Step");
    axes.yTop = qMax(1, m_maxHeight);
    axes.yFormat = heightFormat(axes.yTop);
    axes.zMin = zMin;
    axes.zMax = zMax;
    axes.zTitle = tr("Vertical Step");
    shared->show(m_model, axes);
}

void EyeDiagramDlg::loadCsv() {
    if (m_rows.isEmpty())
        return;
    int xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    for (const QStringList& row : m_rows) {
        if (row.isEmpty())
            continue;
        const EomFiles::CsvPoint p = EomFiles::csvPoint(row);
        xMin = qMin(xMin, p.x);
        xMax = qMax(xMax, p.x);
        yMin = qMin(yMin, p.y);
        yMax = qMax(yMax, p.y);
    }
    m_model = newModel();
    for (const QStringList& row : m_rows) {
        if (row.isEmpty())
            continue;
        const EomFiles::CsvPoint p = EomFiles::csvPoint(row);
        const int height = EomFiles::csvHeight(p);
        m_maxHeight = qMax(m_maxHeight, height);
        appendPoint(m_model, p.x, p.y, height);
    }
    install(false, xMin, xMax, yMin, yMax);
    if (!m_model->parent())
        m_model->setParent(this);
    if (qEnvironmentVariableIsSet("ONA_DEBUG_MODE"))
        writeDebugDump();
}

void EyeDiagramDlg::loadText() {
    const qint64 nx = m_x.size(), ny = m_y.size();
    m_model = newModel();
    m_model->setParent(this);
    if (nx * ny > EomFiles::kMaxPoints || nx > EomFiles::kMaxAxis || ny > EomFiles::kMaxAxis) {
        m_error = tr("The eye scan's grid of %1 x %2 points is too large to draw.").arg(nx).arg(ny);
        return;
    }
    double yMin = 0.0, yMax = 0.0;
    QVector<double> xs(nx), ys(ny);
    for (int i = 0; i < nx; ++i)
        xs[i] = m_x[i].toDouble();
    for (int j = 0; j < ny; ++j) {
        ys[j] = m_y[j].toDouble();
        yMin = qMin(yMin, ys[j]);
        yMax = qMax(yMax, ys[j]);
    }
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            // A point without a comb value shows height 0.
            const qint64 at = qint64(j) * nx + i;
            bool ok = false;
            const double c = at < m_comb.size() ? m_comb[int(at)].toDouble(&ok) : 0.0;
            const double height = ok && std::isfinite(c) ? c * 10000.0 : 0.0;
            if (height > m_maxHeight)
                m_maxHeight = int(qMin(height, 2e9));
            appendPoint(m_model, xs[i], ys[j], height);
        }
    double zMin = yMin, zMax = yMax;
    if (yMin < 0 && yMax > 0)
        zMax = qMax(-yMin, yMax), zMin = -zMax;
    install(true, -0.5, 0.5, zMin, zMax);
}

void EyeDiagramDlg::writeDebugDump() const {
    // Written whole or not at all, beside the result it describes.
    QSaveFile file(m_label + QStringLiteral(".txt"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const QStandardItem* item = m_model->item(r);
        file.write(QByteArray::number(item->data(Qt::UserRole + 1).toInt()) + ' ' +
                   QByteArray::number(item->data(Qt::UserRole + 2).toInt()) + ' ' +
                   QByteArray::number(item->data(Qt::DisplayRole).toInt()) + '\n');
    }
    file.commit();
}

void EyeDiagramDlg::onViewRawDataButtonClicked() {
    auto* dialog = new EomDataDlg(m_rows, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(m_label);
    basgui::Dialogs::provider()->execDialog(dialog);
}

} // namespace vemo::toolona
