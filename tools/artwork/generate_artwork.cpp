// Draws the editor's six bitmaps into a folder: background 128, knob strip 130, about image 132, LEDs 134
// and 135, button 139, each as bmpNNNNN.png and twice as fine as bmpNNNNN@2x.png for dense screens.
// Positions follow the editor's control layout; everything is drawn in its coordinates, so that the finer
// set is the same picture with twice the pixels.
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

const char* const kFont = "DejaVu Sans";
constexpr int kWidth = 828;
constexpr int kHeight = 554;

struct Rgb {
    double r, g, b;
};
Rgb hex(unsigned value) {
    return {((value >> 16) & 255) / 255.0, ((value >> 8) & 255) / 255.0, (value & 255) / 255.0};
}
void setColor(cairo_t* cr, unsigned value, double alpha = 1.0) {
    Rgb c = hex(value);
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// Palette: graphite panel, warm amber accents, off-white labels.
constexpr unsigned kPanelTop = 0x2b2d32, kPanelBottom = 0x232428;
constexpr unsigned kSectionFill = 0x303238, kSectionEdgeLight = 0x44474e, kSectionEdgeDark = 0x17181b;
constexpr unsigned kAmber = 0xf0a23c, kLabel = 0xc9ccd2, kDimLabel = 0x8b8f97;

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void applyFontOptions(cairo_t* cr) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

enum Align { kLeft, kCentre, kRight };

// Width of a text with extra spacing between letters.
double spacedWidth(cairo_t* cr, const std::string& text, double spacing) {
    double width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char letter[2] = {text[i], 0};
        cairo_text_extents_t extents;
        cairo_text_extents(cr, letter, &extents);
        width += extents.x_advance + (i + 1 < text.size() ? spacing : 0);
    }
    return width;
}

// Draws text with its baseline at y.
void text(cairo_t* cr, const std::string& value, double x, double y, double size, Align align, unsigned color,
          bool bold = true, double spacing = 0.6, double alpha = 1.0) {
    cairo_save(cr);
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    double width = spacedWidth(cr, value, spacing);
    if (align == kCentre) x -= width / 2;
    if (align == kRight) x -= width;
    x = std::round(x);
    y = std::round(y);
    setColor(cr, color, alpha);
    for (char c : value) {
        char letter[2] = {c, 0};
        cairo_move_to(cr, x, y);
        cairo_show_text(cr, letter);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, letter, &extents);
        x += extents.x_advance + spacing;
    }
    cairo_restore(cr);
}

// Text with a one-pixel dark shadow below, as printed on a lit panel.
void label(cairo_t* cr, const std::string& value, double x, double y, double size, Align align,
           unsigned color = kLabel, double spacing = 0.6) {
    text(cr, value, x, y + 1, size, align, 0x0e0f11, true, spacing, 0.8);
    text(cr, value, x, y, size, align, color, true, spacing);
}

// A raised section plate with a title.
void section(cairo_t* cr, double x, double y, double w, double h, const char* title, double titleX = -1) {
    cairo_save(cr);
    roundedRect(cr, x + 0.5, y + 1.5, w, h, 6);
    setColor(cr, 0x000000, 0.35);
    cairo_fill(cr);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, y, 0, y + h);
    Rgb top = hex(0x35383e), bottom = hex(kSectionFill);
    cairo_pattern_add_color_stop_rgb(fill, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(fill, 1, bottom.r * 0.92, bottom.g * 0.92, bottom.b * 0.92);
    roundedRect(cr, x, y, w, h, 6);
    cairo_set_source(cr, fill);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(fill);
    cairo_set_line_width(cr, 1);
    setColor(cr, kSectionEdgeDark);
    cairo_stroke(cr);
    roundedRect(cr, x + 1, y + 1, w - 2, h - 2, 5);
    cairo_pattern_t* edge = cairo_pattern_create_linear(0, y, 0, y + h);
    Rgb light = hex(kSectionEdgeLight);
    cairo_pattern_add_color_stop_rgba(edge, 0, light.r, light.g, light.b, 1);
    cairo_pattern_add_color_stop_rgba(edge, 0.5, light.r, light.g, light.b, 0.15);
    cairo_pattern_add_color_stop_rgba(edge, 1, light.r, light.g, light.b, 0.05);
    cairo_set_source(cr, edge);
    cairo_stroke(cr);
    cairo_pattern_destroy(edge);
    cairo_restore(cr);
    if (title) {
        double tx = titleX >= 0 ? titleX : x + 10;
        // A small amber tab marks each section's title.
        setColor(cr, kAmber);
        cairo_rectangle(cr, tx, y + 5, 2, 8);
        cairo_fill(cr);
        label(cr, title, tx + 6, y + 12.5, 9, kLeft, kAmber, 1.2);
    }
}

// A recessed area (screen bezel, LED slot): darker inside, light lower edge.
void recess(cairo_t* cr, double x, double y, double w, double h, double r) {
    roundedRect(cr, x - 0.5, y - 0.5, w + 1, h + 1, r);
    setColor(cr, 0x111214);
    cairo_fill(cr);
    roundedRect(cr, x - 0.5, y - 0.5, w + 1, h + 2, r);
    setColor(cr, 0x50535a, 0.6);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// A backlit amber display filling the rectangle exactly.
void amberScreen(cairo_t* cr, double x, double y, double w, double h) {
    recess(cr, x - 2, y - 2, w + 4, h + 4, 3);
    cairo_pattern_t* glow = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(glow, 0, 0.93, 0.70, 0.36);
    cairo_pattern_add_color_stop_rgb(glow, 1, 0.80, 0.55, 0.24);
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
    // Soft vignette towards the edges, as a backlight does.
    cairo_pattern_t* vignette = cairo_pattern_create_radial(x + w / 2, y + h / 2, std::min(w, h) * 0.3,
                                                            x + w / 2, y + h / 2, w * 0.75);
    cairo_pattern_add_color_stop_rgba(vignette, 0, 1, 0.9, 0.7, 0.10);
    cairo_pattern_add_color_stop_rgba(vignette, 1, 0.2, 0.1, 0.0, 0.18);
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_source(cr, vignette);
    cairo_fill(cr);
    cairo_pattern_destroy(vignette);
    // Inner shadow along the top edge.
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, y, 0, y + 6);
    cairo_pattern_add_color_stop_rgba(shade, 0, 0, 0, 0, 0.35);
    cairo_pattern_add_color_stop_rgba(shade, 1, 0, 0, 0, 0);
    cairo_rectangle(cr, x, y, w, 6);
    cairo_set_source(cr, shade);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
}

// The dim track and scale dots around a knob whose frame starts at (left, top).
void knobSeat(cairo_t* cr, double left, double top) {
    double cx = left + 21, cy = top + 21;
    cairo_arc(cr, cx, cy + 1, 20.5, 0, 2 * M_PI);
    setColor(cr, 0x000000, 0.18);
    cairo_fill(cr);
}

// Label under a knob, one or two lines.
void knobLabel(cairo_t* cr, double anchorX, double top, const char* line1, const char* line2 = nullptr) {
    label(cr, line1, anchorX, top + 52, 8.5, kCentre);
    if (line2) label(cr, line2, anchorX, top + 62, 8.5, kCentre);
}

void screw(cairo_t* cr, double x, double y) {
    cairo_arc(cr, x, y, 3.5, 0, 2 * M_PI);
    cairo_pattern_t* body = cairo_pattern_create_linear(x - 3, y - 3, x + 3, y + 3);
    cairo_pattern_add_color_stop_rgb(body, 0, 0.55, 0.56, 0.58);
    cairo_pattern_add_color_stop_rgb(body, 1, 0.22, 0.23, 0.25);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    cairo_set_line_width(cr, 1);
    setColor(cr, 0x15161a);
    cairo_move_to(cr, x - 2.2, y + 2.2);
    cairo_line_to(cr, x + 2.2, y - 2.2);
    cairo_stroke(cr);
}

void triangle(cairo_t* cr, double x, double y, double size, bool pointsRight, unsigned color) {
    double d = pointsRight ? 1 : -1;
    cairo_move_to(cr, x - d * size / 2, y - size / 2);
    cairo_line_to(cr, x + d * size / 2, y);
    cairo_line_to(cr, x - d * size / 2, y + size / 2);
    cairo_close_path(cr);
    setColor(cr, color);
    cairo_fill(cr);
}

// A small raised push button outline behind a button bitmap (button at left, top, 18 x 18).
void buttonSeat(cairo_t* cr, double left, double top) {
    roundedRect(cr, left - 1.5, top - 1.5, 21, 21, 4);
    setColor(cr, 0x0f1012, 0.9);
    cairo_fill(cr);
}

bool save(cairo_surface_t* surface, const std::string& folder, const char* name) {
    std::string path = folder + "/" + name;
    std::string temporary = path + ".tmp";
    if (cairo_surface_write_to_png(surface, temporary.c_str()) != CAIRO_STATUS_SUCCESS ||
        std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::remove(temporary.c_str());
        return false;
    }
    std::printf("wrote %s\n", path.c_str());
    return true;
}

// A one-pixel groove between two groups of controls on a plate.
void divider(cairo_t* cr, double x, double y, double height) {
    setColor(cr, 0x17181b);
    cairo_rectangle(cr, x, y, 1, height);
    cairo_fill(cr);
    setColor(cr, 0x474a51, 0.6);
    cairo_rectangle(cr, x + 1, y, 1, height);
    cairo_fill(cr);
}

// A dark line with a lit line below it, across the whole width.
void horizontalEdge(cairo_t* cr, double y, double lightAlpha) {
    setColor(cr, 0x000000);
    cairo_rectangle(cr, 0, y, kWidth, 1);
    cairo_fill(cr);
    setColor(cr, 0x4a4d55, lightAlpha);
    cairo_rectangle(cr, 0, y + 1, kWidth, 1);
    cairo_fill(cr);
}

void drawPanel(cairo_t* cr) {
    cairo_pattern_t* base = cairo_pattern_create_linear(0, 0, 0, kHeight);
    Rgb top = hex(kPanelTop), bottom = hex(kPanelBottom);
    cairo_pattern_add_color_stop_rgb(base, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(base, 1, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, base);
    cairo_paint(cr);
    cairo_pattern_destroy(base);
    // Fine horizontal brushing.
    for (int y = 0; y < kHeight; y += 2) {
        setColor(cr, 0xffffff, (y % 6 == 0) ? 0.012 : 0.006);
        cairo_rectangle(cr, 0, y, kWidth, 1);
        cairo_fill(cr);
    }
}

// Header bar: logo, program stepping, file menu, bypass.
void drawHeader(cairo_t* cr) {
    cairo_pattern_t* header = cairo_pattern_create_linear(0, 0, 0, 27);
    cairo_pattern_add_color_stop_rgb(header, 0, 0.10, 0.105, 0.115);
    cairo_pattern_add_color_stop_rgb(header, 1, 0.075, 0.078, 0.085);
    cairo_rectangle(cr, 0, 0, kWidth, 27);
    cairo_set_source(cr, header);
    cairo_fill(cr);
    cairo_pattern_destroy(header);
    horizontalEdge(cr, 27, 0.7);

    text(cr, "LUMERIC", 14, 19, 14, kLeft, 0xeef0f3, true, 2.4);
    cairo_arc(cr, 127, 14, 2.5, 0, 2 * M_PI);
    setColor(cr, kAmber);
    cairo_fill(cr);

    // Program stepping: previous at 172, next at 230.
    buttonSeat(cr, 172, 2);
    buttonSeat(cr, 230, 2);
    triangle(cr, 163, 11, 7, false, kAmber);
    triangle(cr, 257, 11, 7, true, kAmber);
    label(cr, "PROG", 210, 14.5, 8, kCentre, kDimLabel, 0.8);

    // File menu button at 294..348 x 11..27 (the bypass button lies over its right end).
    roundedRect(cr, 294.5, 11.5, 44, 14, 3);
    cairo_pattern_t* file = cairo_pattern_create_linear(0, 11, 0, 26);
    cairo_pattern_add_color_stop_rgb(file, 0, 0.27, 0.28, 0.31);
    cairo_pattern_add_color_stop_rgb(file, 1, 0.17, 0.18, 0.20);
    cairo_set_source(cr, file);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(file);
    setColor(cr, 0x0c0d0f);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    label(cr, "FILE", 312, 22, 8, kCentre, 0xe2e4e8, 0.8);
    cairo_move_to(cr, 327, 17);
    cairo_line_to(cr, 335, 17);
    cairo_line_to(cr, 331, 21.5);
    cairo_close_path(cr);
    setColor(cr, kAmber);
    cairo_fill(cr);

    buttonSeat(cr, 342, 2);
    label(cr, "BYPASS", 366, 14.5, 8.5, kLeft, kLabel, 0.9);
    text(cr, "STEREO ENHANCER", 814, 17.5, 9, kRight, 0x9a9ea6, true, 2.2);
}

void drawProgramSection(cairo_t* cr) {
    section(cr, 10, 32, 292, 80, "PROGRAM");
    amberScreen(cr, 53, 57, 242, 37);
}

void drawOutputSection(cairo_t* cr) {
    section(cr, 308, 32, 92, 80, "OUTPUT");
    knobSeat(cr, 334, 44);
    knobLabel(cr, 355, 44, "VOLUME");
}

// The bass meter's own framed slot, set into a notch of the plate so that the plate's edge stops short of it.
void meterSlot(cairo_t* cr, double x, double y, double w, double h) {
    cairo_save(cr);
    roundedRect(cr, x - 2, y, w + 4, h + 3, 5);
    cairo_clip(cr);
    drawPanel(cr);
    cairo_restore(cr);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 3);
    setColor(cr, 0x111214);
    cairo_fill_preserve(cr);
    setColor(cr, 0x08090a);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    roundedRect(cr, x + 1.5, y + 1.5, w - 3, h - 3, 2);
    setColor(cr, 0x50535a, 0.45);
    cairo_stroke(cr);
}

// One plate with two titled groups, loudness and tone.
void drawLoudnessSection(cairo_t* cr) {
    section(cr, 406, 32, 412, 80, nullptr);
    label(cr, "LOUDNESS", 414, 44.5, 9, kLeft, kAmber, 1.2);
    setColor(cr, kAmber);
    cairo_rectangle(cr, 408, 37, 2, 8);
    cairo_fill(cr);
    knobSeat(cr, 448, 44);
    knobLabel(cr, 469, 44, "FAT BASS");
    meterSlot(cr, 496, 28, 30, 74);
    label(cr, "BASS", 511, 108, 7.5, kCentre, kDimLabel, 0.5);
    knobSeat(cr, 559, 44);
    knobLabel(cr, 580, 44, "MIX");
    knobSeat(cr, 646, 44);
    knobLabel(cr, 667, 44, "BASS BOOST");
    divider(cr, 709, 40, 64);
    label(cr, "TONE", 716, 44.5, 9, kLeft, kAmber, 1.2);
    knobSeat(cr, 732, 44);
    knobLabel(cr, 753, 44, "TILT");
    label(cr, "DARK", 731, 92, 6.5, kRight, kDimLabel, 0.3);
    label(cr, "BRIGHT", 775, 92, 6.5, kLeft, kDimLabel, 0.3);
}

void drawSurroundSection(cairo_t* cr) {
    section(cr, 10, 118, 390, 128, "SURROUND & PUNCH");
    knobSeat(cr, 52, 172);
    knobLabel(cr, 73, 172, "VIRTUAL", "SURROUND");
    knobSeat(cr, 137, 172);
    knobLabel(cr, 158, 172, "SILKY", "SURROUND");
    knobSeat(cr, 250, 172);
    knobLabel(cr, 271, 172, "LAZER", "PUNCH");
    knobSeat(cr, 335, 172);
    knobLabel(cr, 356, 172, "DIFFUSE", "CREAM");
    divider(cr, 214, 150, 86);
    label(cr, "SPACE", 115, 158, 7.5, kCentre, kDimLabel, 1.5);
    label(cr, "PHASE", 313, 158, 7.5, kCentre, kDimLabel, 1.5);
}

void drawExciterSection(cairo_t* cr) {
    section(cr, 406, 118, 412, 128, "EXCITER & CLARITY");
    knobSeat(cr, 448, 172);
    knobLabel(cr, 469, 172, "EXCITER", "MIX");
    knobSeat(cr, 533, 172);
    knobLabel(cr, 554, 172, "EXCITER", "FREQ");
    knobSeat(cr, 646, 172);
    knobLabel(cr, 667, 172, "CLEARNESS");
    knobSeat(cr, 730, 172);
    knobLabel(cr, 751, 172, "NOISE", "REDUCTION");
    divider(cr, 609, 150, 86);
    label(cr, "HARMONICS", 511, 158, 7.5, kCentre, kDimLabel, 1.5);
    label(cr, "SPECTRAL", 709, 158, 7.5, kCentre, kDimLabel, 1.5);
}

// The three-band stereo block: a row of EQ, width and delay per band, and the crossover.
void drawStereoSection(cairo_t* cr) {
    section(cr, 10, 252, 390, 264, "3-BAND STEREO");
    buttonSeat(cr, 314, 257);
    label(cr, "MONO", 337, 269.5, 8.5, kLeft);
    label(cr, "EQ", 72, 293, 8.5, kCentre, kAmber, 1.2);
    label(cr, "WIDTH", 157, 293, 8.5, kCentre, kAmber, 1.2);
    label(cr, "DELAY", 243, 293, 8.5, kCentre, kAmber, 1.2);
    const double rows[] = {299, 382, 466};
    const char* rowNames[] = {"HIGH", "MID", "LOW"};
    for (int row = 0; row < 3; ++row) {
        label(cr, rowNames[row], 18, rows[row] + 24.5, 8, kLeft, kLabel, 0.6);
        for (double left : {51.0, 136.0, 222.0})
            knobSeat(cr, left, rows[row]);
        // Thin guide lines tie a band's row together.
        setColor(cr, 0x1a1b1e);
        cairo_rectangle(cr, 95, rows[row] + 21, 39, 1);
        cairo_rectangle(cr, 180, rows[row] + 21, 40, 1);
        cairo_fill(cr);
    }
    divider(cr, 285, 300, 200);
    knobSeat(cr, 307, 382);
    label(cr, "CROSSOVER", 328, 372, 7.5, kCentre, kAmber, 0.8);
    knobLabel(cr, 328, 382, "MID FREQ");
    label(cr, "LOW", 300, 434, 6.5, kRight, kDimLabel, 0.3);
    label(cr, "HIGH", 356, 434, 6.5, kLeft, kDimLabel, 0.3);
}

void drawAnalyserSection(cairo_t* cr) {
    section(cr, 406, 252, 412, 264, "ANALYSER");
    label(cr, "SPECTRUM", 675, 271, 8, kRight, kLabel, 0.6);
    buttonSeat(cr, 679, 258);
    label(cr, "SCOPE", 732, 271, 8, kRight, kLabel, 0.6);
    buttonSeat(cr, 736, 258);
    amberScreen(cr, 407, 295, 377, 219);
    // Level ticks beside the screen, on the analyser's 6 dB grid lines.
    for (int y = 300; y < 514; y += 24) {
        setColor(cr, y == 300 ? kAmber : 0x6a6e76);
        cairo_rectangle(cr, 790, y, y == 300 ? 8 : 5, 1);
        cairo_fill(cr);
    }
    label(cr, "dB", 800, 304, 6.5, kLeft, kDimLabel, 0.2);
}

// Footer and the about strip (392..828 x 515..554).
void drawFooter(cairo_t* cr) {
    cairo_pattern_t* footer = cairo_pattern_create_linear(0, 519, 0, kHeight);
    cairo_pattern_add_color_stop_rgb(footer, 0, 0.085, 0.09, 0.10);
    cairo_pattern_add_color_stop_rgb(footer, 1, 0.06, 0.063, 0.07);
    cairo_rectangle(cr, 0, 520, kWidth, kHeight - 520);
    cairo_set_source(cr, footer);
    cairo_fill(cr);
    cairo_pattern_destroy(footer);
    horizontalEdge(cr, 519, 0.5);
    screw(cr, 12, 537);
    text(cr, "lumeric.example", 26, 540.5, 9, kLeft, 0x80848c, false, 0.4);
    setColor(cr, 0x1c1d21);
    cairo_rectangle(cr, 392, 521, 1, 33);
    cairo_fill(cr);
    text(cr, "LUMERIC", 404, 541, 11, kLeft, 0xd8dbe0, true, 2.0);
    text(cr, "STEREO ENHANCER", 500, 540.5, 8, kLeft, 0x8b8f97, true, 1.4);
    text(cr, "v1.0", 636, 540.5, 8, kLeft, kAmber, true, 0.6);
    roundedRect(cr, 740.5, 530.5, 58, 16, 8);
    setColor(cr, 0x5a5e66);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    text(cr, "ABOUT", 769.5, 541.5, 7.5, kCentre, 0xc9ccd2, true, 1.2);
    screw(cr, 816, 537);
}

void drawBackground(cairo_t* cr) {
    applyFontOptions(cr);
    drawPanel(cr);
    drawHeader(cr);
    drawProgramSection(cr);
    drawOutputSection(cr);
    drawLoudnessSection(cr);
    drawSurroundSection(cr);
    drawExciterSection(cr);
    drawStereoSection(cr);
    drawAnalyserSection(cr);
    drawFooter(cr);
}

// One frame of the knob strip: value 0..1, travel from 7:30 to 4:30 o'clock.
void drawKnob(cairo_t* cr, double top, double value) {
    const double cx = 21, cy = top + 21;
    const double start = 0.75 * M_PI, sweep = 1.5 * M_PI;
    double angle = start + sweep * value;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    // Track.
    cairo_set_line_width(cr, 3);
    setColor(cr, 0x141518);
    cairo_arc(cr, cx, cy, 18, start, start + sweep);
    cairo_stroke(cr);
    // Value arc with a soft glow.
    if (value > 0.002) {
        cairo_set_line_width(cr, 5);
        setColor(cr, kAmber, 0.18);
        cairo_arc(cr, cx, cy, 18, start, angle);
        cairo_stroke(cr);
        cairo_set_line_width(cr, 2.2);
        setColor(cr, kAmber);
        cairo_arc(cr, cx, cy, 18, start, angle);
        cairo_stroke(cr);
    }
    // Drop shadow, body and rim, lit from the top left.
    cairo_arc(cr, cx + 0.6, cy + 1.6, 14.2, 0, 2 * M_PI);
    setColor(cr, 0x000000, 0.55);
    cairo_fill(cr);
    cairo_pattern_t* body = cairo_pattern_create_linear(cx - 12, cy - 14, cx + 10, cy + 14);
    cairo_pattern_add_color_stop_rgb(body, 0, 0.42, 0.43, 0.46);
    cairo_pattern_add_color_stop_rgb(body, 0.5, 0.20, 0.21, 0.23);
    cairo_pattern_add_color_stop_rgb(body, 1, 0.11, 0.115, 0.125);
    cairo_arc(cr, cx, cy, 14, 0, 2 * M_PI);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    cairo_pattern_t* face = cairo_pattern_create_radial(cx - 3, cy - 4, 1, cx, cy, 12);
    cairo_pattern_add_color_stop_rgb(face, 0, 0.30, 0.31, 0.34);
    cairo_pattern_add_color_stop_rgb(face, 1, 0.17, 0.175, 0.19);
    cairo_arc(cr, cx, cy, 11.5, 0, 2 * M_PI);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    cairo_set_line_width(cr, 1);
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, cy - 12, 0, cy + 12);
    cairo_pattern_add_color_stop_rgba(rim, 0, 1, 1, 1, 0.22);
    cairo_pattern_add_color_stop_rgba(rim, 1, 1, 1, 1, 0.0);
    cairo_arc(cr, cx, cy, 11.5, 0, 2 * M_PI);
    cairo_set_source(cr, rim);
    cairo_stroke(cr);
    cairo_pattern_destroy(rim);
    // Pointer.
    double c = std::cos(angle), s = std::sin(angle);
    cairo_set_line_width(cr, 2.2);
    setColor(cr, 0x000000, 0.5);
    cairo_move_to(cr, cx + 4.5 * c + 0.5, cy + 4.5 * s + 0.8);
    cairo_line_to(cr, cx + 11 * c + 0.5, cy + 11 * s + 0.8);
    cairo_stroke(cr);
    setColor(cr, 0xf4f5f7);
    cairo_move_to(cr, cx + 4.5 * c, cy + 4.5 * s);
    cairo_line_to(cr, cx + 11 * c, cy + 11 * s);
    cairo_stroke(cr);
}

// A button state at (0, top): raised with a dim indicator, or pressed with the indicator lit.
void drawButton(cairo_t* cr, double top, bool on) {
    cairo_pattern_t* body = cairo_pattern_create_linear(0, top, 0, top + 18);
    if (on) {
        cairo_pattern_add_color_stop_rgb(body, 0, 0.16, 0.165, 0.18);
        cairo_pattern_add_color_stop_rgb(body, 1, 0.24, 0.25, 0.27);
    } else {
        cairo_pattern_add_color_stop_rgb(body, 0, 0.36, 0.37, 0.40);
        cairo_pattern_add_color_stop_rgb(body, 1, 0.19, 0.20, 0.22);
    }
    roundedRect(cr, 1, top + 1, 16, 16, 3);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    setColor(cr, 0x08090a);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (!on) {
        roundedRect(cr, 2, top + 2, 14, 14, 2.5);
        setColor(cr, 0xffffff, 0.12);
        cairo_stroke(cr);
    }
    double cx = 9, cy = top + 9 + (on ? 0.5 : 0);
    if (on) {
        cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, 7);
        Rgb amber = hex(kAmber);
        cairo_pattern_add_color_stop_rgba(glow, 0, amber.r, amber.g, amber.b, 0.55);
        cairo_pattern_add_color_stop_rgba(glow, 1, amber.r, amber.g, amber.b, 0);
        cairo_arc(cr, cx, cy, 7, 0, 2 * M_PI);
        cairo_set_source(cr, glow);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
    }
    cairo_arc(cr, cx, cy, 2.6, 0, 2 * M_PI);
    setColor(cr, on ? 0xffd089 : 0x4a3a26);
    cairo_fill(cr);
}

// An LED state at (0, top), 20 x 12.
void drawLed(cairo_t* cr, double top, bool lit, unsigned color, unsigned dark) {
    roundedRect(cr, 1, top + 1, 18, 10, 2);
    setColor(cr, 0x08090a);
    cairo_fill(cr);
    Rgb c = hex(lit ? color : dark);
    cairo_pattern_t* face = cairo_pattern_create_linear(0, top + 2, 0, top + 10);
    cairo_pattern_add_color_stop_rgb(face, 0, std::min(1.0, c.r * 1.15 + 0.08),
                                     std::min(1.0, c.g * 1.15 + 0.08), std::min(1.0, c.b * 1.15 + 0.08));
    cairo_pattern_add_color_stop_rgb(face, 1, c.r * 0.8, c.g * 0.8, c.b * 0.8);
    roundedRect(cr, 2, top + 2, 16, 8, 1.5);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    // Specular line along the top.
    setColor(cr, 0xffffff, lit ? 0.45 : 0.08);
    cairo_rectangle(cr, 4, top + 3, 12, 1);
    cairo_fill(cr);
}

void drawAbout(cairo_t* cr) {
    applyFontOptions(cr);
    cairo_pattern_t* base = cairo_pattern_create_radial(kWidth * 0.5, kHeight * 0.38, 40, kWidth * 0.5,
                                                        kHeight * 0.5, kWidth * 0.7);
    cairo_pattern_add_color_stop_rgb(base, 0, 0.17, 0.175, 0.19);
    cairo_pattern_add_color_stop_rgb(base, 1, 0.055, 0.058, 0.065);
    cairo_set_source(cr, base);
    cairo_paint(cr);
    cairo_pattern_destroy(base);
    // Concentric arcs echo a knob's scale.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 6; ++i) {
        cairo_set_line_width(cr, 1.2);
        setColor(cr, kAmber, 0.05 + 0.035 * i);
        cairo_arc(cr, kWidth / 2.0, 215, 150 - 18 * i, 0.75 * M_PI, (0.75 + 1.5 * (0.25 + 0.15 * i)) * M_PI);
        cairo_stroke(cr);
    }
    text(cr, "Lumeric", kWidth / 2.0, 236, 64, kCentre, 0xf2f3f5, true, 1.0);
    text(cr, "STEREO ENHANCER", kWidth / 2.0, 272, 13, kCentre, kAmber, true, 5.0);
    text(cr, "Version 1.0", kWidth / 2.0, 304, 12, kCentre, 0xc9ccd2, false, 0.8);
    setColor(cr, 0x5a5e66, 0.8);
    cairo_rectangle(cr, kWidth / 2.0 - 120, 330, 240, 1);
    cairo_fill(cr);
    const char* lines[] = {"Loudness contour and dynamic bass", "Spectral surround, punch and exciter",
                           "Three-band stereo width and delay"};
    for (int i = 0; i < 3; ++i)
        text(cr, lines[i], kWidth / 2.0, 356 + 18 * i, 11, kCentre, 0x9ea2aa, false, 0.3);
    text(cr, "lumeric.example", kWidth / 2.0, 438, 12, kCentre, kAmber, true, 0.8);
    text(cr, "Copyright 2026 The Lumeric authors. MIT License.", kWidth / 2.0, 500, 9, kCentre, 0x6c7079,
         false, 0.3);
    text(cr, "CLICK TO CLOSE", kWidth / 2.0, 530, 8, kCentre, 0x8b8f97, true, 2.0);
}

// A transparent image of the given size in the drawing's coordinates, drawn scale times as fine.
struct Canvas {
    cairo_surface_t* surface;
    cairo_t* cr;
    Canvas(int width, int height, int scale)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scale, height * scale)),
          cr(cairo_create(surface)) {
        if (scale != 1) cairo_scale(cr, scale, scale);
    }
    ~Canvas() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    bool save(const std::string& folder, const std::string& name) {
        cairo_surface_flush(surface);
        return ::save(surface, folder, name.c_str());
    }
};

bool drawAll(const std::string& folder, int scale) {
    const std::string suffix = scale == 1 ? ".png" : "@" + std::to_string(scale) + "x.png";
    bool ok = true;
    {
        Canvas background(kWidth, kHeight, scale);
        drawBackground(background.cr);
        ok &= background.save(folder, "bmp00128" + suffix);
    }
    {
        constexpr int kFrames = 256;
        Canvas knob(42, 42 * kFrames, scale);
        for (int i = 0; i < kFrames; ++i) {
            cairo_save(knob.cr);
            cairo_rectangle(knob.cr, 0, 42 * i, 42, 42);
            cairo_clip(knob.cr);
            drawKnob(knob.cr, 42 * i, i / double(kFrames - 1));
            cairo_restore(knob.cr);
        }
        ok &= knob.save(folder, "bmp00130" + suffix);
    }
    {
        Canvas about(kWidth, kHeight, scale);
        drawAbout(about.cr);
        ok &= about.save(folder, "bmp00132" + suffix);
    }
    struct LedColours {
        const char* name;
        unsigned lit, dark;
    };
    for (LedColours led :
         {LedColours{"bmp00134", 0xffb240, 0x3b2b16}, LedColours{"bmp00135", 0xff3b2e, 0x3d1714}}) {
        Canvas image(20, 24, scale);
        drawLed(image.cr, 0, true, led.lit, led.dark);
        drawLed(image.cr, 12, false, led.lit, led.dark);
        ok &= image.save(folder, led.name + suffix);
    }
    {
        Canvas button(18, 36, scale);
        drawButton(button.cr, 0, false);
        drawButton(button.cr, 18, true);
        ok &= button.save(folder, "bmp00139" + suffix);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;
    for (int scale : {1, 2})
        ok &= drawAll(folder, scale);
    return ok ? 0 : 1;
}
