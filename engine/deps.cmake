# Libraries the engine links besides Qt and Tcl, for the library and for
# the fuzz harnesses' instrumented copy: libusb lists the USB cables present,
# libsigrokdecode runs the protocol decoders (decode/).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET GLOBAL libusb-1.0)
pkg_check_modules(SRD REQUIRED IMPORTED_TARGET libsigrokdecode)
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0)

# The decoder library, and the Python it embeds, is loaded by its soname at
# the first decode (decode/srdapi.cpp), not at every start of the tool: the
# engine takes its headers and GLib, never its link.
if(NOT TARGET ondrel_srd)
  find_library(ONDREL_SRD_FILE sigrokdecode HINTS ${SRD_LIBRARY_DIRS} REQUIRED)
  file(REAL_PATH "${ONDREL_SRD_FILE}" srd_real)
  get_filename_component(srd_name "${srd_real}" NAME)
  string(REGEX MATCH "^lib[^.]+\\.so\\.[0-9]+" ONDREL_SRD_SONAME "${srd_name}")
  if(NOT ONDREL_SRD_SONAME)
    message(FATAL_ERROR "cannot tell the soname of ${srd_real}")
  endif()
  # The tests stand a foreign library of that name in for it.
  set_property(GLOBAL PROPERTY ONDREL_SRD_SONAME "${ONDREL_SRD_SONAME}")
  add_library(ondrel_srd INTERFACE)
  target_include_directories(ondrel_srd INTERFACE ${SRD_INCLUDE_DIRS})
  target_compile_definitions(ondrel_srd INTERFACE ONDREL_SRD_SONAME="${ONDREL_SRD_SONAME}")
  target_link_libraries(ondrel_srd INTERFACE PkgConfig::GLIB)
endif()
set(ONA_EXTRA_LIBS PkgConfig::LIBUSB ondrel_srd)
