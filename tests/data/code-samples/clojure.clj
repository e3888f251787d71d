(ns shop.cart
  (:require [clojure.string :as str]))

(def tax-rate 0.2)

(defn line-total [{:keys [price qty]}]
  (* price qty))

(defn cart-total [items]
  (let [subtotal (reduce + (map line-total items))]
    (->> subtotal
         (* (+ 1 tax-rate))
         (format "%.2f"))))

(when (seq *command-line-args*)
  (println (cart-total [{:price 10 :qty 2}])))
