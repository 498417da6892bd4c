/* The version of both programs, for the version resources. Included by windres and C++. */
#pragma once

#define MVN_VERSION_MAJOR 10
#define MVN_VERSION_MINOR 0
#define MVN_VERSION_PATCH 0
#define MVN_VERSION_BUILD 0
#define MVN_VERSION_TEXT "10.0.0.0"
