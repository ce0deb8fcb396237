#include "viewer/ViewerSettings.h"

#include "viewer/CommandLine.h"

ViewerSettings g_ViewerSettings;

void ReadViewerSettings(const char* cmd, ViewerSettings& s) {
    s.loop = HasOption(cmd, "/loop");
    s.windowed = HasOption(cmd, "/full") ? 0 : 1;
    s.mirrorOff = HasOption(cmd, "/mx");
    s.startPaused = HasOption(cmd, "/stop");
    s.closeAtEnd = HasOption(cmd, "/close");
    s.lighting = HasOption(cmd, "/nl") ? 0 : 1;
    s.showFrameRate = HasOption(cmd, "/fps");
    s.specular = HasOption(cmd, "/nospec") ? 0 : 1;
    s.wBuffer = HasOption(cmd, "/wbuf");
    s.hardwareVertexProcessing = HasOption(cmd, "/hv");
    s.hardwareSkinning = HasOption(cmd, "/hwskin");
    s.noResize = HasOption(cmd, "/nr");
    s.referenceRasteriser = HasOption(cmd, "/ref");
    s.noKeys = HasOption(cmd, "/nokey");
    s.escapeOnly = HasOption(cmd, "/esc");
    s.noMenu = HasOption(cmd, "/nm");
    s.headless = HasOption(cmd, "/headless");

    s.width = s.windowed ? 640 : 1024;
    s.height = s.windowed ? 480 : 768;
    GetIntOption(cmd, "/resx", &s.width);
    GetIntOption(cmd, "/resy", &s.height);
    s.bitsPerPixel = 16;
    GetIntOption(cmd, "/bpp", &s.bitsPerPixel);
    s.adapter = 0;
    GetIntOption(cmd, "/scr", &s.adapter);
    s.firstCamera = 0;
    GetIntOption(cmd, "/cam", &s.firstCamera);
    s.vsync = 0;
    GetIntOption(cmd, "/vs", &s.vsync);
    s.refreshRate = 0;
    GetIntOption(cmd, "/rr", &s.refreshRate);

    s.nearPlane = 0.0f;
    GetFloatOption(cmd, "/zn", &s.nearPlane);
    s.farPlane = 0.0f;
    GetFloatOption(cmd, "/zf", &s.farPlane);
    s.speed = 1.0f;
    GetFloatOption(cmd, "/spd", &s.speed);
    s.startTime = 0.0f;
    GetFloatOption(cmd, "/t", &s.startTime);
    s.maximumFrameRate = 0.0f;
    GetFloatOption(cmd, "/maxfps", &s.maximumFrameRate);
    if (!(s.maximumFrameRate > 0.0f)) s.maximumFrameRate = 0.0f; // 0 and below: no limit
    s.reloadSeconds = 0.0f;
    GetFloatOption(cmd, "/reload", &s.reloadSeconds);
    if (!(s.reloadSeconds > 0.0f)) s.reloadSeconds = 0.0f; // 0 and below: never
}

void PrintViewerSettings(FILE* out, const ViewerSettings& s) {
    std::fprintf(out, "scene_file=%s\n", s.sceneFile);
    std::fprintf(out, "loop=%d\n", s.loop);
    std::fprintf(out, "windowed=%d\n", s.windowed);
    std::fprintf(out, "mirror_off=%d\n", s.mirrorOff);
    std::fprintf(out, "start_paused=%d\n", s.startPaused);
    std::fprintf(out, "close_at_end=%d\n", s.closeAtEnd);
    std::fprintf(out, "lighting=%d\n", s.lighting);
    std::fprintf(out, "show_frame_rate=%d\n", s.showFrameRate);
    std::fprintf(out, "specular=%d\n", s.specular);
    std::fprintf(out, "w_buffer=%d\n", s.wBuffer);
    std::fprintf(out, "hardware_vertex_processing=%d\n", s.hardwareVertexProcessing);
    std::fprintf(out, "hardware_skinning=%d\n", s.hardwareSkinning);
    std::fprintf(out, "width=%d\n", s.width);
    std::fprintf(out, "height=%d\n", s.height);
    std::fprintf(out, "bits_per_pixel=%d\n", s.bitsPerPixel);
    std::fprintf(out, "adapter=%d\n", s.adapter);
    std::fprintf(out, "first_camera=%d\n", s.firstCamera);
    std::fprintf(out, "vsync=%d\n", s.vsync);
    std::fprintf(out, "refresh_rate=%d\n", s.refreshRate);
    std::fprintf(out, "near_plane=%g\n", s.nearPlane);
    std::fprintf(out, "far_plane=%g\n", s.farPlane);
    std::fprintf(out, "speed=%g\n", s.speed);
    std::fprintf(out, "start_time=%g\n", s.startTime);
    std::fprintf(out, "no_resize=%d\n", s.noResize);
    std::fprintf(out, "reference_rasteriser=%d\n", s.referenceRasteriser);
    std::fprintf(out, "no_keys=%d\n", s.noKeys);
    std::fprintf(out, "escape_only=%d\n", s.escapeOnly);
    std::fprintf(out, "no_menu=%d\n", s.noMenu);
    std::fprintf(out, "maximum_frame_rate=%g\n", s.maximumFrameRate);
    std::fprintf(out, "headless=%d\n", s.headless);
    std::fprintf(out, "reload_seconds=%g\n", s.reloadSeconds);
}
