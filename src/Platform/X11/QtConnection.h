#pragma once

struct xcb_connection_t;

// Qt's own X connection, for requests that must follow Qt's (a map, a selection) or use its
// windows; null outside an X11 session.
xcb_connection_t* qtConnection();
