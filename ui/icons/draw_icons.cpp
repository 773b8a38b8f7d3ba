// Draws the program's icons: the window's open yellow folder and the program's fir tree with
// baubles. Each picture is a list of shapes on a 32 x 32 grid, written once as SVG and painted
// with QPainter into the 16 and 32 pixel PNGs, so the three files of an icon always agree.
//
// Build the target hdtree_draw_icons and run it with the icons folder as its argument; the
// files it writes are kept in the repository.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextStream>
#include <cstdio>
#include <vector>

namespace {

constexpr int kGrid = 32;

struct Shape {
  enum Kind { Polygon, Circle } kind;
  std::vector<QPointF> points;  // the corners, or the centre of a circle
  double radius = 0;
  QColor fill;
  QColor stroke;  // no stroke when invalid
};

Shape Poly(std::vector<QPointF> points, const char* fill, const char* stroke = nullptr) {
  return Shape{Shape::Polygon, std::move(points), 0, QColor(fill),
               stroke ? QColor(stroke) : QColor()};
}

Shape Ball(double x, double y, double r, const char* fill, const char* stroke) {
  return Shape{Shape::Circle, {QPointF(x, y)}, r, QColor(fill), QColor(stroke)};
}

std::vector<Shape> OpenFolder() {
  const char* outline = "#6b4a00";
  return {
      // back wall with its tab
      Poly({{1.5, 7}, {3.5, 4.5}, {11, 4.5}, {13, 7}, {27.5, 7}, {27.5, 27.5}, {1.5, 27.5}},
           "#d9a21b", outline),
      // a sheet of paper standing in the folder
      Poly({{5, 9.5}, {25, 9.5}, {25, 22}, {5, 22}}, "#ffffff", "#808080"),
      // the front flap, swung open
      Poly({{1.5, 27.5}, {7, 13.5}, {31, 13.5}, {26, 27.5}}, "#ffd93d", outline),
  };
}

std::vector<Shape> FirTree() {
  const char* needles = "#0b5e1e";
  return {
      Poly({{13.5, 25}, {18.5, 25}, {18.5, 31}, {13.5, 31}}, "#7a4a1c", "#4a2a0a"),
      Poly({{16, 12}, {29.5, 27}, {2.5, 27}}, "#1f9a3a", needles),
      Poly({{16, 6.5}, {26.5, 19.5}, {5.5, 19.5}}, "#25ad44", needles),
      Poly({{16, 1.5}, {23.5, 12.5}, {8.5, 12.5}}, "#2fc050", needles),
      Ball(16, 9.5, 1.8, "#ffd700", "#8a6d00"),
      Ball(11.5, 16.5, 2, "#e02020", "#7a0000"),
      Ball(20.5, 15, 2, "#2060e8", "#0a2a7a"),
      Ball(15.5, 21, 2, "#f0a000", "#7a4a00"),
      Ball(8, 24.5, 2, "#d020c0", "#6a0a60"),
      Ball(23.5, 23.5, 2, "#20c8e0", "#0a5a6a"),
  };
}

QString SvgColor(const QColor& c) { return c.name(QColor::HexRgb); }

bool WriteSvg(const QString& path, const std::vector<Shape>& shapes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QTextStream out(&file);
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kGrid << "\" height=\"" << kGrid
      << "\" viewBox=\"0 0 " << kGrid << ' ' << kGrid << "\">\n";
  for (const Shape& s : shapes) {
    QString paint = QString("fill=\"%1\"").arg(SvgColor(s.fill));
    if (s.stroke.isValid())
      paint += QString(" stroke=\"%1\" stroke-width=\"1\" stroke-linejoin=\"round\"")
                   .arg(SvgColor(s.stroke));
    if (s.kind == Shape::Circle) {
      out << "  <circle cx=\"" << s.points[0].x() << "\" cy=\"" << s.points[0].y() << "\" r=\""
          << s.radius << "\" " << paint << "/>\n";
    } else {
      out << "  <polygon points=\"";
      for (std::size_t i = 0; i < s.points.size(); ++i)
        out << (i ? " " : "") << s.points[i].x() << ',' << s.points[i].y();
      out << "\" " << paint << "/>\n";
    }
  }
  out << "</svg>\n";
  return true;
}

bool WritePng(const QString& path, const std::vector<Shape>& shapes, int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(double(size) / kGrid, double(size) / kGrid);
  for (const Shape& s : shapes) {
    QPen pen = s.stroke.isValid() ? QPen(s.stroke, size >= kGrid ? 1.0 : 1.4) : QPen(Qt::NoPen);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(s.fill);
    if (s.kind == Shape::Circle)
      p.drawEllipse(s.points[0], s.radius, s.radius);
    else
      p.drawPolygon(QPolygonF(QList<QPointF>(s.points.begin(), s.points.end())));
  }
  p.end();
  return image.save(path, "PNG");
}

bool WriteIcon(const QDir& dir, const QString& name, const std::vector<Shape>& shapes) {
  return WriteSvg(dir.filePath(name + ".svg"), shapes) &&
         WritePng(dir.filePath(name + "-16.png"), shapes, 16) &&
         WritePng(dir.filePath(name + "-32.png"), shapes, 32);
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s ICON-FOLDER\n", argv[0]);
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  const bool ok =
      WriteIcon(dir, "hdtree", FirTree()) && WriteIcon(dir, "hdtree-folder", OpenFolder());
  if (!ok) std::fprintf(stderr, "%s: cannot write the icons\n", argv[0]);
  return ok ? 0 : 1;
}
