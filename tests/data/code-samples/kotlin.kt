data class Account(val id: Long, val owner: String, var balance: Double)

class Bank {
    private val accounts = mutableListOf<Account>()

    fun open(owner: String): Account {
        val account = Account(accounts.size + 1L, owner, 0.0)
        accounts.add(account)
        return account
    }

    fun describe(account: Account): String = when {
        account.balance < 0 -> "overdrawn"
        else -> "fine"
    }
}

fun main() {
    val bank = Bank()
    println(bank.open("Ada"))
}
