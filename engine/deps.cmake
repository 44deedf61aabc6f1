# Libraries the engine links besides Qt and Tcl, for the library and for
# the fuzz harnesses' instrumented copy: libusb lists the USB cables present,
# libsigrokdecode runs the protocol decoders (decode/).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)
pkg_check_modules(SRD REQUIRED IMPORTED_TARGET libsigrokdecode)
set(ONA_EXTRA_LIBS PkgConfig::LIBUSB PkgConfig::SRD)
