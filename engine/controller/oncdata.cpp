#include "oncdata.h"

ONCData* ONCData::inst() {
    static ONCData* data = new ONCData;   // lives as long as the process
    return data;
}
