using System;
using System.Linq;
using System.Collections.Generic;

namespace Shop
{
    public class Basket
    {
        private readonly List<decimal> prices = new List<decimal>();

        public void Add(decimal price) => prices.Add(price);

        public decimal Total()
        {
            return prices.Where(p => p > 0).Sum();
        }

        public static void Main(string[] args)
        {
            var basket = new Basket();
            basket.Add(4.5m);
            Console.WriteLine($"Total: {basket.Total()}");
        }
    }
}
