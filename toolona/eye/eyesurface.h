#pragma once

// The 3-D surface behind the eye diagram. It lives in a module of its own
// (toolona_eye3d), loaded when the first diagram opens: Qt Data
// Visualization brings Qt Quick, QML and the network stack with it, which
// the window must not pay for at every start-up.

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

// The one surface of the process, made on first use; null when the module
// cannot be loaded, with the reason in `error`.
EyeSurface* sharedEyeSurface(bool textVariant, QString* error);
// The surface if one was made, else null; never loads the module.
EyeSurface* existingEyeSurface();

} // namespace vemo::toolona

// The module's one entry point, `ondrel_create_eye_surface` (C linkage).
using OndrelCreateEyeSurface = vemo::toolona::EyeSurface* (*)(bool textVariant);
