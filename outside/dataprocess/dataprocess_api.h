// Marks the names libOrbo_DataProcess.so exports. The library is built with hidden visibility:
// only the declarations of radar_device_interface.h that carry this mark reach its users; the
// rest of the folder is internal and reached only by the library's own tests.
#pragma once

#define ORBO_DATAPROCESS_API __attribute__((visibility("default")))
