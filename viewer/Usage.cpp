#include "viewer/Usage.h"

const char* const kStartupCaption = "ViewKZV v1.82";

// The last line is this port's own: how options are written on Linux.
const char* const kUsageText =
    "Command: ViewKZV <file.kzv> [Options] \n\nOptions: \n /?, /H /HELP      shows this window\n /LOOP               loops the animation \n /FULL                fullscreen presentation\n /STOP               manual animation\n /FPS                  shows fps\n /SCR:x              use adapter (screen) number x\n /NOSPEC           disable specular lighting\n /RESX:x             x display resolution (window x size)\n /RESY:x             y display resolution (window y size)\n /BPP:x               sets bits per pixel (fullscreen)\n /RR:x                 sets the display's refresh rate\n /CAM:x              use camera x\n /CLOSE              closes viewer at animation end\n /NR                   disables window resizing\n /NM                   disables menu\n /NL                   disables lightin\n /ZN:x                 sets the near z clipping plane\n /ZF:x                 sets the far z clipping plane\n /SPD:x               sets speed (1=original speed)\n /WBUF               use w-buffer instead of z-buffer\n /NOKEY              disables all keyboard commands\n /ESC                user can only press ESC\n /VS:x                vsync (0,1,2,3 or 4)\n /HV                   hardware vertex processing\n /HWSKIN             hardware skinning\n /REF                 use reference rasterizer\n /MX\t\t\t\t    mirror x-axis /maxFPS             sets a maximum number of frames per second\n /T:x                  define starting point (in sec)"
    "\n\n"
    "On Linux -x and --x work like /x; values attach with ':' or '=' (--resx=800).";
