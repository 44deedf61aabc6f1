#pragma once

#include <QtCore/qglobal.h>

// Symbols a host needs from the tool library (OnaGUI, LabelGroupBox).
#if defined(TOOLONA_LIBRARY)
#define TOOLONA_EXPORT Q_DECL_EXPORT
#else
#define TOOLONA_EXPORT Q_DECL_IMPORT
#endif
