// Version data of the executable; on Windows the same values go into its version resource.
#pragma once

#define ZK4_VERSION_NUMBERS 1, 0, 0, 1
#define ZK4_VERSION_TEXT "1, 0, 0, 1"
#define ZK4_VERSION_DOTTED "1.0.0.1"
#define ZK4_COMMENTS "Build 06222021-01"
#define ZK4_FILE_DESCRIPTION "ZK4 Toolset"
#define ZK4_ORIGINAL_FILENAME "ZK4.EXE"
#define ZK4_PRODUCT_NAME "ZK4 Application"
#define ZK4_PRIVATE_BUILD "06222021-01"
#define ZK4_COMPANY_NAME "ZK4 Toolset developers"
#define ZK4_INTERNAL_NAME "ZK4"
#define ZK4_LEGAL_COPYRIGHT "Copyright (C) ZK4 Toolset developers"
