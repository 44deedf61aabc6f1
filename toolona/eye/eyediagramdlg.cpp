#include "eye/eyediagramdlg.h"

#include "basgui/dialogseam.h"
#include "eomfiles.h"
#include "eye/eomdatadlg.h"
#include "eye/eyesurface.h"
#include "eyemonitor.h"

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
    m_measurement->setText(tr("Eye width: %1  Eye height: %2\n").arg(m_width).arg(m_height));
}

EyeDiagramDlg::EyeDiagramDlg(const QString& name, const QStringList& comb, const QStringList& x, const QStringList& y,
                             const QString& label, QWidget* parent)
    : QDialog(parent), m_name(name), m_label(label), m_comb(comb), m_x(x), m_y(y) {
    setMinimumSize(1200, 900);
    build(true);
    loadText();
    m_measurement->setText(tr("Eye width: %1  Eye height: %2\n").arg(m_width).arg(m_height));
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
    m_measurement->setStyleSheet(
        QStringLiteral("QLabel {background-color: white; font-size: 13px; font-weight: bold;}"));

    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(view);
    column->addWidget(m_measurement);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    row->addLayout(column);

    auto* raw = new QPushButton(tr("&View Raw Data"), this);
    auto* close = new QPushButton(tr("&Close"), this);
    connect(raw, &QPushButton::clicked, this, &EyeDiagramDlg::onViewRawDataButtonClicked);
    connect(close, &QPushButton::clicked, this, &EyeDiagramDlg::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(raw);
    buttons->addWidget(close);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
}

void EyeDiagramDlg::setResultFile(const QString& file) {
    findMeasurement(file);
    m_measurement->setText(tr("Eye width: %1  Eye height: %2\n").arg(m_width).arg(m_height));
}

void EyeDiagramDlg::findMeasurement(const QString& file) {
    // Only the scan that wrote this very file measured it: an imported file
    // or an older one of the same instance has no measurement.
    m_width = m_height = 0;
    if (m_name.isEmpty())
        return;
    for (const EyeResult& r : EyeMonitor::inst()->results())
        if (!r.name.isEmpty() && r.name == m_name) {
            if (r.file == file) {
                m_width = r.width;
                m_height = r.height;
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
