// One source for the version shown in the About box and in the version resource.
#pragma once

#define APP_VERSION_MAJOR 1
#define APP_VERSION_MINOR 0
#define APP_VERSION_TEXT "1.00"
#define APP_NAME_TEXT "StillSentinel"

// The maker's notice and web page. The address is a placeholder under the
// reserved example.com domain until the project has a public home page.
#define APP_NOTICE_TEXT "Copyright (C) 2026 StillSentinel developers"
#define APP_URL_TEXT "https://stillsentinel.example.com/"
