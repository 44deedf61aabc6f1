// The eye diagram's 3-D surface on Qt Data Visualization: the module the
// tool loads when the first eye diagram opens (eye/eyesurface.h).

#include "eye/eyesurface.h"

#include <QLinearGradient>
#include <QStandardItemModel>
#include <QWidget>
#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DInputHandler>
#include <QtDataVisualization/Q3DScene>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/Q3DTheme>
#include <QtDataVisualization/QItemModelSurfaceDataProxy>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QValue3DAxis>

namespace vemo::toolona {

namespace {

QLinearGradient gradient(bool textVariant) {
    QLinearGradient g;
    g.setStops(eyeGradientStops(textVariant));
    return g;
}

class Surface3D : public EyeSurface {
public:
    explicit Surface3D(bool textVariant) {
        auto* proxy = new QItemModelSurfaceDataProxy;
        auto* series = new QSurface3DSeries(proxy);
        series->setFlatShadingEnabled(false);
        series->setDrawMode(QSurface3DSeries::DrawSurface);
        series->setItemLabelVisible(false);
        series->setColorStyle(Q3DTheme::ColorStyleRangeGradient);
        series->setBaseGradient(gradient(textVariant));
        if (textVariant)
            series->setMeshSmooth(true);

        m_surface = new Q3DSurface;
        auto* x = new QValue3DAxis;
        auto* y = new QValue3DAxis;
        auto* z = new QValue3DAxis;
        x->setSegmentCount(10);
        z->setSegmentCount(10);
        x->setTitleVisible(false);
        z->setTitleVisible(false);
        m_surface->setAxisX(x);
        m_surface->setAxisY(y);
        m_surface->setAxisZ(z);
        m_surface->addSeries(series);
        m_surface->setShadowQuality(QAbstract3DGraph::ShadowQualityNone);
        m_surface->setFlipHorizontalGrid(true);
        m_surface->setOrthoProjection(true);
        m_surface->setHorizontalAspectRatio(textVariant ? 2.7 : 2.0);
        m_surface->scene()->activeCamera()->setCameraPreset(Q3DCamera::CameraPresetDirectlyAbove);

        Q3DTheme* theme = m_surface->activeTheme();
        theme->setType(Q3DTheme::ThemeQt);
        theme->setLightStrength(0.0f);
        theme->setAmbientLightStrength(1.0f);
        theme->setGridEnabled(true);
        theme->setGridLineColor(Qt::lightGray);
        theme->setBackgroundEnabled(true);
        theme->setBackgroundColor(Qt::white);
        theme->setLabelBackgroundEnabled(false);
        theme->setLabelTextColor(Qt::black);

        auto* input = new Q3DInputHandler;
        input->setRotationEnabled(false);
        input->setSelectionEnabled(false);
        input->setZoomEnabled(false);
        input->setZoomAtTargetEnabled(false);
        m_surface->setActiveInputHandler(input);

        m_container = QWidget::createWindowContainer(m_surface);
        m_container->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    QWidget* container() const override { return m_container; }
    Q3DSurface* graph() const override { return m_surface; }

    void show(QStandardItemModel* model, const EyeAxes& axes) override {
        auto* proxy = m_surface->seriesList().isEmpty()
                          ? nullptr
                          : qobject_cast<QItemModelSurfaceDataProxy*>(m_surface->seriesList().first()->dataProxy());
        if (!proxy)
            return;
        const QAbstractItemModel* previous = proxy->itemModel();
        model->setParent(proxy);
        proxy->setItemModel(model);
        proxy->setColumnRole(QStringLiteral("PosXRole"));
        proxy->setRowRole(QStringLiteral("PosYRole"));
        if (previous && previous != model)
            delete previous;
        QValue3DAxis* x = m_surface->axisX();
        QValue3DAxis* y = m_surface->axisY();
        QValue3DAxis* z = m_surface->axisZ();
        x->setSegmentCount(axes.xSegments);
        x->setRange(float(axes.xMin), float(axes.xMax));
        x->setLabelFormat(axes.xFormat);
        x->setTitle(axes.xTitle);
        x->setTitleVisible(true);
        y->setRange(0.0f, float(axes.yTop));
        y->setLabelFormat(axes.yFormat);
        y->setTitleVisible(false);
        z->setSegmentCount(10);
        z->setRange(float(axes.zMin), float(axes.zMax));
        z->setLabelFormat(QStringLiteral("%d"));
        z->setTitle(axes.zTitle);
        z->setTitleVisible(true);
    }

private:
    Q3DSurface* m_surface = nullptr;
    QWidget* m_container = nullptr;
};

} // namespace

} // namespace vemo::toolona

extern "C" Q_DECL_EXPORT vemo::toolona::EyeSurface* ondrel_create_eye_surface(bool textVariant) {
    return new vemo::toolona::Surface3D(textVariant);
}
