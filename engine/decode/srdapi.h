#pragma once

// The protocol decoder library's entry points, resolved the first time a
// decoder is asked for. Linking the library would load it, and the Python
// interpreter it embeds, into every start of the tool.

#include <libsigrokdecode/libsigrokdecode.h>

#include <QString>

#define ONDREL_SRD_FUNCTIONS(X)                                                                                        \
    X(init)                                                                                                            \
    X(exit)                                                                                                            \
    X(strerror)                                                                                                        \
    X(log_callback_set)                                                                                                \
    X(log_loglevel_set)                                                                                                \
    X(decoder_load_all)                                                                                                \
    X(decoder_list)                                                                                                    \
    X(session_new)                                                                                                     \
    X(session_metadata_set)                                                                                            \
    X(session_start)                                                                                                   \
    X(session_send)                                                                                                    \
    X(session_destroy)                                                                                                 \
    X(pd_output_callback_add)                                                                                          \
    X(inst_new)                                                                                                        \
    X(inst_stack)                                                                                                      \
    X(inst_channel_set_all)

struct SrdApi {
#define ONDREL_SRD_MEMBER(name) decltype(&::srd_##name) name = nullptr;
    ONDREL_SRD_FUNCTIONS(ONDREL_SRD_MEMBER)
#undef ONDREL_SRD_MEMBER
};

// The loaded library's functions, or null with `error` saying why the
// library could not be loaded (the same answer on every later call).
const SrdApi* srdApi(QString* error = nullptr);
