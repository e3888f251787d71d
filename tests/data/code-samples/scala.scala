object Shapes extends App {
  sealed trait Shape
  case class Circle(radius: Double) extends Shape
  case class Square(side: Double) extends Shape

  def area(shape: Shape): Double = shape match {
    case Circle(r) => math.Pi * r * r
    case Square(s) => s * s
  }

  val shapes: List[Shape] = List(Circle(1.0), Square(2.0))
  for (shape <- shapes) println(area(shape))
}
