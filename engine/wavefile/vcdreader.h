#pragma once

// The IEEE 1364 VCD reader: streams a file into a ChangeStore, never holding
// more of it than a few blocks.
//
// The header ($timescale, $scope/$upscope, $var, comments) is read first,
// in order. The value changes are cut into blocks that each begin at a
// line "#time"; the calling thread reads and cuts, `threads` workers parse
// blocks into parts of their own, and the parts are appended to the store
// in file order. Offsets and counts are 64-bit throughout, so files over
// 4 GiB read as any other.
//
// Every fault names the line and byte offset where it lies: a time that
// goes back, an identifier no $var declared, a value the variable cannot
// take, a width over ChangeStore::kMaxWidth, bytes that are not VCD, a file
// that ends inside its header or a value change. A fault after the header
// ends the reading; what was read before it is kept (the store marked
// partial, the fault in its `error`) or dropped, as the caller asks.

#include "changestore.h"
#include "onaglobal.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class ONA_EXPORT VcdReader {
public:
    struct Options {
        // Keep what was read before a fault (or a cancel), marked partial.
        bool keepPartial = false;
        // Called in the calling thread after each block: bytes read, file size.
        std::function<void(qint64 done, qint64 total)> progress;
        // Set from any thread to stop at the next block.
        const std::atomic<bool>* cancel = nullptr;
        int threads = 2;
        qint64 blockBytes = qint64(8) << 20;
    };

    // The store of the file at `path`, or null with *error set ("PATH: line
    // L, byte B: what"). A partial store comes back only with keepPartial;
    // its `error` then says where it ends, and so does *error.
    static std::unique_ptr<ChangeStore> read(const QString& path, const Options& options, QString* error);
    // The same for bytes in memory (`name` stands for the path in messages).
    static std::unique_ptr<ChangeStore> readBytes(const QByteArray& data, const QString& name, const Options& options,
                                                  QString* error);
};
