// One source for the version shown in the About box and in the version resource.
// Each text is a single literal: the resource compiler does not join literals.
#pragma once

#define APP_VERSION_MAJOR 1
#define APP_VERSION_MINOR 0
#define APP_VERSION_LINE "StillSentinel Version 1.00"

// The maker's notice, and the link: "URL : " followed by the web page
// address, which is a placeholder under the reserved example.com domain until
// the project has a public home page.
#define APP_NOTICE_TEXT "(C) 2026 StillSentinel"
#define APP_LINK_TEXT "URL : https://example.com/"
#define APP_LINK_PREFIX "URL : "

// The same version for the version resource; checked against the numbers at
// compile time (see about_dialog.cpp).
#define APP_VERSION_DOTTED "1.0.0.0"
