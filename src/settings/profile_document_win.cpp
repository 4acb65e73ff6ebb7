// Placeholder until the XML profile lands: every read yields its default.
#include "settings/profile_document.h"

struct ProfileDocument::Store {};

ProfileDocument::ProfileDocument() : store_(nullptr) {}
ProfileDocument::~ProfileDocument() = default;
int32_t ProfileDocument::ReadInt(const char*, const char*, int32_t defaultValue) { return defaultValue; }
