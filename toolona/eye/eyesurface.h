#pragma once

// The 3-D surface behind the eye diagram. It lives in a module of its own
// (toolona_eye3d), loaded when the first diagram opens: Qt Data
// Visualization brings Qt Quick, QML and the network stack with it, which
// the window must not pay for at every start-up.

#include <QColor>
#include <QGradientStops>
#include <QString>

class QStandardItemModel;
class QWidget;
class Q3DSurface;

namespace vemo::toolona {

// What the surface shows around its points.
struct EyeAxes {
    bool textVariant = false;
    double xMin = 0, xMax = 0;
    double yTop = 1;
    double zMin = 0, zMax = 0;
    QString xTitle, zTitle, xFormat, yFormat;
    int xSegments = 10;
};

class EyeSurface {
public:
    virtual ~EyeSurface() = default;
    // The widget that holds the surface; one dialog at a time borrows it.
    virtual QWidget* container() const = 0;
    virtual Q3DSurface* graph() const = 0;
    // Shows `model` (x under "PosXRole", y under "PosYRole", the height as
    // display role) and takes it over; the model shown before is deleted.
    virtual void show(QStandardItemModel* model, const EyeAxes& axes) = 0;
};

// The colours of the heights, bottom (0) to top (1), of each variant:
// the surface and its colour scale use the same stops.
inline QGradientStops eyeGradientStops(bool textVariant) {
    static const struct Stop {
        double at;
        int r, g, b;
    } csv[] = {{0.0, 0, 0, 0},       {0.03, 35, 55, 175},  {0.2, 100, 120, 220},
               {0.5, 226, 218, 213}, {0.8, 237, 131, 102}, {1.0, 185, 25, 12}},
      text[] = {{0.0, 0, 0, 0},       {0.05, 3, 67, 137},  {0.1, 5, 101, 207},   {0.15, 16, 133, 250},
                {0.2, 1, 154, 211},   {0.3, 2, 210, 205},  {0.4, 35, 231, 211},  {0.5, 39, 226, 44},
                {0.55, 171, 227, 38}, {0.6, 238, 250, 16}, {0.65, 253, 217, 13}, {0.7, 240, 175, 16},
                {0.8, 241, 112, 24},  {0.9, 255, 0, 0},    {1.0, 202, 0, 0}};
    QGradientStops stops;
    if (textVariant)
        for (const Stop& s : text)
            stops.append({s.at, QColor(s.r, s.g, s.b)});
    else
        for (const Stop& s : csv)
            stops.append({s.at, QColor(s.r, s.g, s.b)});
    return stops;
}

// The one surface of the process, made on first use; null when the module
// cannot be loaded, with the reason in `error`.
EyeSurface* sharedEyeSurface(bool textVariant, QString* error);
// The surface if one was made, else null; never loads the module.
EyeSurface* existingEyeSurface();
// The variant whose look the shared surface was made with (it keeps it).
bool existingEyeSurfaceIsText();

} // namespace vemo::toolona

// The module's one entry point, `ondrel_create_eye_surface` (C linkage).
using OndrelCreateEyeSurface = vemo::toolona::EyeSurface* (*)(bool textVariant);
