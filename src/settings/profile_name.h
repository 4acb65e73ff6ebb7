// The profile name given by the host, the start-up settings read from it, and the title.
#pragma once

class ProfileDocument;

// Stores the profile name, applies the stored settings and returns the plug-in's title,
// valid until the next call.
char* myProName(const char* name);

// Applies the stored settings from document; returns the title suffix.
const char* myProfileInit(const char* name, ProfileDocument* document);
