library(dplyr)
library(ggplot2)

sales <- read.csv("sales.csv")

monthly <- sales %>%
  group_by(month) %>%
  summarise(total = sum(amount, na.rm = TRUE))

ggplot(monthly, aes(x = month, y = total)) +
  geom_col(fill = "steelblue")
