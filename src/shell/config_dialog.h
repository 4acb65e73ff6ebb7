// The configuration dialog shown by the Config entry point.
#pragma once

class ProfileDocument;

void myConfig(ProfileDocument* document);
